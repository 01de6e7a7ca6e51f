// Events, waits, threads, handle duplication and the per-thread last error.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>

#include "winapi_standin.h"

namespace {

TEST(Events, ManualResetStaysSetAutoResetWakesOneWait) {
    const std::size_t before = standin::OpenHandleCount();
    HANDLE manual = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE automatic = CreateEventA(nullptr, FALSE, TRUE, nullptr);
    ASSERT_NE(manual, nullptr);
    ASSERT_NE(automatic, nullptr);
    EXPECT_EQ(standin::OpenHandleCount(), before + 2);

    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(SetEvent(manual));
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(manual, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(ResetEvent(manual));
    EXPECT_EQ(WaitForSingleObject(manual, 10), WAIT_TIMEOUT);

    // Created set; the first wait takes the signal.
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_TIMEOUT);

    EXPECT_TRUE(CloseHandle(manual));
    EXPECT_TRUE(CloseHandle(automatic));
    EXPECT_EQ(standin::OpenHandleCount(), before);
}

TEST(Events, ASetFromAnotherThreadEndsAnInfiniteWait) {
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE thread = CreateThread(
        nullptr, 0, [](LPVOID e) -> DWORD { return SetEvent(static_cast<HANDLE>(e)) ? 0 : 1; }, event, 0,
        nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    CloseHandle(thread);
    CloseHandle(event);
}

// A wait for any of several objects: the first one set counts (an automatic-reset event is
// taken by it, a manual one stays set), a thread counts when it ends, and a wait that cannot
// be made says so.
TEST(Events, AWaitForAnyTakesTheFirstObjectSet) {
    HANDLE manual = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE automatic = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE both[2] = {manual, automatic};
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 10), WAIT_TIMEOUT);
    SetEvent(automatic);
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), WAIT_TIMEOUT) << "the wait took the automatic event";
    SetEvent(manual);
    SetEvent(automatic);
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), WAIT_OBJECT_0) << "the lowest index first";
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), WAIT_OBJECT_0) << "a manual event stays set";
    ResetEvent(manual);
    EXPECT_EQ(WaitForMultipleObjects(1, &automatic, FALSE, 0), WAIT_OBJECT_0);

    HANDLE thread = CreateThread(
        nullptr, 0, [](LPVOID) -> DWORD { Sleep(20); return 0; }, nullptr, 0, nullptr);
    HANDLE waits[3] = {manual, thread, automatic};
    EXPECT_EQ(WaitForMultipleObjects(3, waits, FALSE, INFINITE), WAIT_OBJECT_0 + 1);
    // A set from another thread ends an infinite wait too.
    HANDLE setter = CreateThread(
        nullptr, 0, [](LPVOID e) -> DWORD { return SetEvent(static_cast<HANDLE>(e)) ? 0 : 1; }, automatic, 0,
        nullptr);
    HANDLE two[2] = {manual, automatic};
    EXPECT_EQ(WaitForMultipleObjects(2, two, FALSE, INFINITE), WAIT_OBJECT_0 + 1);
    WaitForSingleObject(setter, INFINITE);

    HANDLE bad[2] = {manual, reinterpret_cast<HANDLE>(0x1234)};
    EXPECT_EQ(WaitForMultipleObjects(2, bad, FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 0), WAIT_FAILED) << "waiting for all is not offered";
    EXPECT_EQ(WaitForMultipleObjects(0, both, FALSE, 0), WAIT_FAILED);
    for (HANDLE h : {manual, automatic, thread, setter}) CloseHandle(h);
}

TEST(Handles, StaleAndForeignHandlesAreRefused) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(CloseHandle(event));

    SetLastError(0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(SetEvent(event));
    EXPECT_FALSE(CloseHandle(event));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(WaitForSingleObject(INVALID_HANDLE_VALUE, 0), WAIT_FAILED);
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);

    // As on Windows, the values of closed handles are given out again, the most recently closed
    // first: a stale handle then reaches the new object (what the tests are there to catch).
    HANDLE other = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE third = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(other, event);
    CloseHandle(other);
    CloseHandle(third);
    HANDLE next = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    EXPECT_EQ(next, third) << "the most recently closed value first";
    HANDLE after = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    EXPECT_EQ(after, other);
    EXPECT_EQ(WaitForSingleObject(other, 0), WAIT_OBJECT_0) << "the stale value names the new event";
    CloseHandle(next);
    CloseHandle(after);

    // Named events are not offered rather than silently unnamed.
    EXPECT_EQ(CreateEventA(nullptr, TRUE, FALSE, "shared"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
}

struct Gate {
    HANDLE release;
    std::atomic<int> ran{0};
};

DWORD WINAPI WaitForGate(LPVOID parameter) {
    auto* gate = static_cast<Gate*>(parameter);
    WaitForSingleObject(gate->release, INFINITE);
    gate->ran.fetch_add(1);
    return 42;
}

TEST(Threads, ExitCodeWaitAndCloseWhileRunning) {
    Gate gate;
    gate.release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, WaitForGate, &gate, 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_NE(id, GetCurrentThreadId());

    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(thread, 20), WAIT_TIMEOUT);

    // A duplicate names the same thread; closing the original neither stops nor detaches it.
    HANDLE copy = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &copy, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    EXPECT_NE(copy, thread);
    EXPECT_TRUE(CloseHandle(thread));
    EXPECT_EQ(gate.ran.load(), 0);

    SetEvent(gate.release);
    EXPECT_EQ(WaitForSingleObject(copy, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(gate.ran.load(), 1);
    ASSERT_TRUE(GetExitCodeThread(copy, &code));
    EXPECT_EQ(code, 42u);
    // A thread stays signalled.
    EXPECT_EQ(WaitForSingleObject(copy, 0), WAIT_OBJECT_0);
    CloseHandle(copy);
    CloseHandle(gate.release);

    EXPECT_FALSE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
}

TEST(Handles, DuplicateWithCloseSourceMovesTheHandle) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE moved = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), event, GetCurrentProcess(), &moved, 0, FALSE,
                                DUPLICATE_CLOSE_SOURCE | DUPLICATE_SAME_ACCESS));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
    EXPECT_TRUE(SetEvent(moved));
    EXPECT_EQ(WaitForSingleObject(moved, 0), WAIT_OBJECT_0);
    CloseHandle(moved);

    EXPECT_FALSE(DuplicateHandle(GetCurrentProcess(), event, GetCurrentProcess(), &moved, 0, FALSE, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(Runtime, LastErrorAndThreadIdBelongToTheThread) {
    SetLastError(1234);
    const DWORD mine = GetCurrentThreadId();
    EXPECT_EQ(GetCurrentThreadId(), mine);
    struct Seen {
        DWORD error;
        DWORD id;
    } seen{};
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            auto* s = static_cast<Seen*>(p);
            s->error = GetLastError();
            s->id = GetCurrentThreadId();
            SetLastError(5);
            return 0;
        },
        &seen, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    EXPECT_EQ(seen.error, 0u);
    EXPECT_NE(seen.id, mine);
    EXPECT_EQ(GetLastError(), 1234u);

    const DWORD start = GetTickCount();
    Sleep(20);
    EXPECT_GE(GetTickCount() - start, 20u);
}

}  // namespace
