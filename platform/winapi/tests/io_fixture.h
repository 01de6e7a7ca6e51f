// A temporary bus with one scripted board, and helpers for the I/O tests.
#pragma once

#include <gtest/gtest.h>
#include <setupapi.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "fake_board.h"
#include "winapi_standin.h"

namespace winapi_test {

inline DWORD Err(long code) { return static_cast<DWORD>(code); }

inline const GUID kBoardGuid = {0x77F49320, 0x16EF, 0x11D2, {0xAD, 0x51, 0x00, 0x60, 0x97, 0xB5, 0x14, 0xDD}};

// The device path of member `index` of a device set, through the two-step detail query;
// empty when a step fails.
std::string InterfacePath(HDEVINFO set, DWORD index);

inline ULONG_PTR InternalOf(OVERLAPPED& overlapped) {
    return std::atomic_ref<ULONG_PTR>(overlapped.Internal).load();
}

class BoardIo : public ::testing::Test {
  protected:
    void SetUp() override {
        handlesBefore_ = standin::OpenHandleCount();
        board_ = std::make_unique<FakeBoard>(FakeBoard::Options{bus_.dir(), 0});
    }
    void TearDown() override {
        for (HANDLE event : events_) CloseHandle(event);
        events_.clear();
        board_.reset();
        standin::SetBoardAnswerLimit(0);
        EXPECT_EQ(standin::OpenHandleCount(), handlesBefore_) << "a handle was left open";
    }

    HANDLE Open(const std::string& suffix, bool overlapped = true) {
        const std::string path = board_->devicePath() + suffix;
        return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, overlapped ? FILE_FLAG_OVERLAPPED : 0, nullptr);
    }

    // The board's side of a call that blocks until the board answers it.
    std::thread OnNextRequest(std::function<void(int, const vbus::Submit&)> answer) {
        return std::thread([this, answer] {
            if (auto next = board_->NextSubmit()) answer(next->first, next->second);
        });
    }

    // Issues a request with `call` while the board takes it with `answer` (on a thread of its
    // own) and returns once both are done: the call's result, the last error as the call left it.
    BOOL Submit(const std::function<BOOL()>& call, std::function<void(int, const vbus::Submit&)> answer) {
        std::thread board = OnNextRequest(std::move(answer));
        const BOOL result = call();
        const DWORD error = GetLastError();
        board.join();
        SetLastError(error);
        return result;
    }

    // Where the board answers a request it holds.
    struct Held {
        std::uint32_t id = 0;
        int connection = 0;
    };
    // Issues a request with `call` that the board accepts and holds, after `look`ing at it; the
    // call must say that the request is pending.
    Held SubmitHeld(const std::function<BOOL()>& call,
                    const std::function<void(const vbus::Submit&)>& look = {}) {
        Held held;
        EXPECT_FALSE(Submit(call, [&](int c, const vbus::Submit& s) {
            if (look) look(s);
            held = {s.id, c};
            board_->Send(c, vbus::Accepted{s.id});
        }));
        EXPECT_EQ(GetLastError(), Err(ERROR_IO_PENDING));
        return held;
    }

    // An OVERLAPPED with a fresh manual-reset event, closed at the end of the test.
    OVERLAPPED WithEvent() {
        OVERLAPPED overlapped{};
        overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        events_.push_back(overlapped.hEvent);
        return overlapped;
    }
    TempBus bus_;
    std::unique_ptr<FakeBoard> board_;
    std::vector<HANDLE> events_;
    std::size_t handlesBefore_ = 0;
};

}  // namespace winapi_test
