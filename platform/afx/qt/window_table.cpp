#include "window_table.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <unordered_map>

namespace afx::qt {
namespace {

struct PendingCall {
    enum class State { Queued, Running, Finished, Dropped };
    HWND target;
    const std::function<void()>* fn;
    State state = State::Queued;
};

struct Table {
    std::mutex mutex;
    std::condition_variable settled;  // some call finished or was dropped
    std::condition_variable arrived;  // a call was queued
    std::unordered_map<HWND, std::shared_ptr<Window>> windows;
    std::deque<std::shared_ptr<PendingCall>> queue;
    std::uintptr_t nextHandle = 0x10000;
    // Set with every queued call, so that one wait can take both a call and a thread's end.
    HANDLE callQueued = CreateEventA(nullptr, FALSE, FALSE, nullptr);
};

// Lives as long as the process: workers may still call while static objects are destroyed.
Table& TheTable() {
    static Table* table = new Table;
    return *table;
}

// Made with the program, so that its event is there before anyone counts handles.
[[maybe_unused]] const Table& kTableAtStart = TheTable();

bool OnWindowThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

}  // namespace

HWND AddWindow(std::shared_ptr<Window> window) {
    Table& t = TheTable();
    std::lock_guard lock(t.mutex);
    t.nextHandle += 4;
    HWND handle = reinterpret_cast<HWND>(t.nextHandle);
    window->handle = handle;
    if (window->kind == Kind::Dialog) window->dialog = handle;
    t.windows.emplace(handle, std::move(window));
    return handle;
}

std::shared_ptr<Window> FindWindow(HWND handle) {
    if (!handle) return nullptr;
    Table& t = TheTable();
    std::lock_guard lock(t.mutex);
    auto it = t.windows.find(handle);
    return it == t.windows.end() ? nullptr : it->second;
}

void RemoveDialog(HWND dialog) {
    Table& t = TheTable();
    {
        std::lock_guard lock(t.mutex);
        std::erase_if(t.windows, [&](const auto& entry) { return entry.second->dialog == dialog; });
        std::erase_if(t.queue, [&](const std::shared_ptr<PendingCall>& call) {
            if (t.windows.count(call->target)) return false;
            call->state = PendingCall::State::Dropped;
            return true;
        });
    }
    t.settled.notify_all();
}

bool CallOnWindowThread(HWND handle, const std::function<void()>& fn) {
    if (!handle) return false;
    if (OnWindowThread()) {
        if (!FindWindow(handle)) return false;
        fn();
        return true;
    }
    Table& t = TheTable();
    auto call = std::make_shared<PendingCall>(PendingCall{handle, &fn});
    {
        std::lock_guard lock(t.mutex);
        if (!t.windows.count(handle)) return false;
        t.queue.push_back(call);
    }
    t.arrived.notify_all();
    SetEvent(t.callQueued);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { ServePendingCalls(); }, Qt::QueuedConnection);
    std::unique_lock lock(t.mutex);
    t.settled.wait(lock, [&] {
        return call->state == PendingCall::State::Finished || call->state == PendingCall::State::Dropped;
    });
    return call->state == PendingCall::State::Finished;
}

void ServePendingCalls() {
    Table& t = TheTable();
    for (;;) {
        std::shared_ptr<PendingCall> call;
        {
            std::lock_guard lock(t.mutex);
            if (t.queue.empty()) return;
            call = t.queue.front();
            t.queue.pop_front();
            call->state = PendingCall::State::Running;
        }
        struct Settle {
            Table& t;
            PendingCall& call;
            ~Settle() {
                {
                    std::lock_guard lock(t.mutex);
                    call.state = PendingCall::State::Finished;
                }
                t.settled.notify_all();
            }
        } settle{t, *call};
        // The window may have gone between queueing and now; then the call does nothing.
        if (FindWindow(call->target)) (*call->fn)();
    }
}

DWORD WaitForObjectsOrCall(DWORD count, const HANDLE* handles, DWORD ms) {
    Table& t = TheTable();
    {
        std::lock_guard lock(t.mutex);
        if (!t.queue.empty()) return WAIT_OBJECT_0 + count;
    }
    if (count >= MAXIMUM_WAIT_OBJECTS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    HANDLE all[MAXIMUM_WAIT_OBJECTS];
    std::copy(handles, handles + count, all);
    all[count] = t.callQueued;
    return WaitForMultipleObjects(count + 1, all, FALSE, ms);
}

void WaitForPendingCall(unsigned ms) {
    Table& t = TheTable();
    std::unique_lock lock(t.mutex);
    t.arrived.wait_for(lock, std::chrono::milliseconds(ms), [&] { return !t.queue.empty(); });
}

}  // namespace afx::qt
