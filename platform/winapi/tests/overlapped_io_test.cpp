// Overlapped and synchronous I/O on board connections, against a scripted board.
#include <cstring>

#include "io_fixture.h"

namespace winapi_test {
namespace {

using vbus::Accepted;
using vbus::Done;

TEST_F(BoardIo, APendingReadWritesNothingUntilItsCompletion) {
    HANDLE pipe = Open("\\PIPE00");
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    OVERLAPPED overlapped = WithEvent();
    SetEvent(overlapped.hEvent);  // the call resets it
    std::uint8_t buffer[4] = {0xAA, 0xAA, 0xAA, 0xAA};

    DWORD read = 99;
    const Held held = SubmitHeld([&] { return ReadFile(pipe, buffer, sizeof buffer, &read, &overlapped); });
    EXPECT_EQ(read, 0u);
    EXPECT_EQ(InternalOf(overlapped), STATUS_PENDING);
    EXPECT_EQ(WaitForSingleObject(overlapped.hEvent, 0), WAIT_TIMEOUT);
    EXPECT_EQ(buffer[0], 0xAA);

    EXPECT_FALSE(GetOverlappedResult(pipe, &overlapped, &read, FALSE));
    EXPECT_EQ(GetLastError(), Err(ERROR_IO_INCOMPLETE));
    // The event set by someone else is no completion.
    SetEvent(overlapped.hEvent);
    EXPECT_FALSE(GetOverlappedResult(pipe, &overlapped, &read, TRUE));
    EXPECT_EQ(GetLastError(), Err(ERROR_IO_INCOMPLETE));
    ResetEvent(overlapped.hEvent);

    board_->Send(held.connection, Done{held.id, 0, 4, {9, 8, 7, 6}, {}});
    EXPECT_TRUE(GetOverlappedResult(pipe, &overlapped, &read, TRUE));
    EXPECT_EQ(read, 4u);
    EXPECT_EQ(buffer[0], 9);
    EXPECT_EQ(buffer[3], 6);
    EXPECT_TRUE(CloseHandle(pipe));
}

TEST_F(BoardIo, WithoutAnEventTheHandleSignalsTheCompletion) {
    HANDLE pipe = Open("\\PIPE03");
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    OVERLAPPED overlapped{};
    const std::uint8_t data[5] = {1, 2, 3, 4, 5};
    DWORD written = 0;
    const Held held = SubmitHeld([&] { return WriteFile(pipe, data, sizeof data, &written, &overlapped); },
                                 [&](const vbus::Submit& s) {
                                     EXPECT_EQ(s.op, vbus::Op::Write);
                                     EXPECT_EQ(s.input, (vbus::Bytes{1, 2, 3, 4, 5}));
                                 });
    EXPECT_EQ(WaitForSingleObject(pipe, 0), WAIT_TIMEOUT);

    // The board claims more than was written; the count stays within the request.
    board_->Send(held.connection, Done{held.id, 0, 9, {}, {}});
    EXPECT_TRUE(GetOverlappedResult(pipe, &overlapped, &written, TRUE));
    EXPECT_EQ(written, 5u);
    EXPECT_EQ(WaitForSingleObject(pipe, 0), WAIT_OBJECT_0);
    CloseHandle(pipe);
}

TEST_F(BoardIo, CancelIoAfterATimeOutCompletesLaterWithAborted) {
    HANDLE pipe = Open("\\PIPE02");
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    OVERLAPPED overlapped = WithEvent();
    std::uint8_t buffer[2] = {0x55, 0x66};
    const Held held = SubmitHeld([&] { return ReadFile(pipe, buffer, sizeof buffer, nullptr, &overlapped); });
    EXPECT_EQ(WaitForSingleObject(overlapped.hEvent, 50), WAIT_TIMEOUT);

    EXPECT_TRUE(CancelIo(pipe));
    auto cancel = board_->Next();
    ASSERT_TRUE(cancel.has_value());
    ASSERT_TRUE(std::holds_alternative<vbus::Cancel>(cancel->message));
    EXPECT_EQ(std::get<vbus::Cancel>(cancel->message).id, held.id);
    // Cancelling only asks the board: nothing is completed until it answers.
    EXPECT_EQ(InternalOf(overlapped), STATUS_PENDING);
    EXPECT_EQ(WaitForSingleObject(overlapped.hEvent, 0), WAIT_TIMEOUT);
    EXPECT_EQ(standin::PendingRequestCount(), 1u);

    board_->Send(held.connection, Done{held.id, ERROR_OPERATION_ABORTED, 0, {}, {}});
    DWORD read = 7;
    EXPECT_FALSE(GetOverlappedResult(pipe, &overlapped, &read, TRUE));
    EXPECT_EQ(GetLastError(), Err(ERROR_OPERATION_ABORTED));
    EXPECT_EQ(read, 0u);
    EXPECT_EQ(buffer[0], 0x55);
    EXPECT_EQ(buffer[1], 0x66);
    EXPECT_EQ(standin::PendingRequestCount(), 0u);
    CloseHandle(pipe);
}

// Issues a read and stays alive until released: on Windows a thread's end would cancel it.
struct IssuedElsewhere {
    HANDLE pipe;
    OVERLAPPED* overlapped;
    std::uint8_t* buffer;
    HANDLE issued;
    HANDLE release;
    DWORD result;
};

TEST_F(BoardIo, CancelIoTakesTheCallersRequestsCancelIoExAnyones) {
    HANDLE pipe = Open("\\PIPE00");
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    OVERLAPPED mine = WithEvent(), theirs = WithEvent();
    std::uint8_t mineBuffer[4], theirBuffer[4];
    std::uint32_t theirId = 0;

    const Held held = SubmitHeld([&] { return ReadFile(pipe, mineBuffer, 4, nullptr, &mine); });

    // The second request comes from another thread, which stays until the end.
    auto board = OnNextRequest([&](int c, const vbus::Submit& s) {
        theirId = s.id;
        board_->Send(c, Accepted{s.id});
    });
    IssuedElsewhere other{pipe,
                          &theirs,
                          theirBuffer,
                          CreateEventA(nullptr, TRUE, FALSE, nullptr),
                          CreateEventA(nullptr, TRUE, FALSE, nullptr),
                          0};
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            auto* o = static_cast<IssuedElsewhere*>(p);
            o->result = ReadFile(o->pipe, o->buffer, 4, nullptr, o->overlapped) ? 0 : GetLastError();
            SetEvent(o->issued);
            WaitForSingleObject(o->release, INFINITE);
            return 0;
        },
        &other, 0, nullptr);
    WaitForSingleObject(other.issued, INFINITE);
    EXPECT_EQ(other.result, Err(ERROR_IO_PENDING));
    board.join();

    EXPECT_TRUE(CancelIo(pipe));
    auto first = board_->Next();
    ASSERT_TRUE(first && std::holds_alternative<vbus::Cancel>(first->message));
    EXPECT_EQ(std::get<vbus::Cancel>(first->message).id, held.id);

    EXPECT_TRUE(CancelIoEx(pipe, &theirs));
    auto second = board_->Next();
    ASSERT_TRUE(second && std::holds_alternative<vbus::Cancel>(second->message));
    EXPECT_EQ(std::get<vbus::Cancel>(second->message).id, theirId);
    // Still pending, so still found; but the board is not asked twice.
    EXPECT_TRUE(CancelIoEx(pipe, &theirs));

    board_->Send(held.connection, Done{held.id, ERROR_OPERATION_ABORTED, 0, {}, {}});
    board_->Send(held.connection, Done{theirId, ERROR_OPERATION_ABORTED, 0, {}, {}});
    DWORD n = 0;
    EXPECT_FALSE(GetOverlappedResult(pipe, &mine, &n, TRUE));
    EXPECT_FALSE(GetOverlappedResult(pipe, &theirs, &n, TRUE));
    EXPECT_EQ(GetLastError(), Err(ERROR_OPERATION_ABORTED));
    SetEvent(other.release);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    CloseHandle(other.issued);
    CloseHandle(other.release);
    EXPECT_FALSE(CancelIoEx(pipe, &mine));
    EXPECT_EQ(GetLastError(), Err(ERROR_NOT_FOUND));
    EXPECT_FALSE(CancelIoEx(pipe, nullptr));
    EXPECT_EQ(GetLastError(), Err(ERROR_NOT_FOUND));

    // The next thing the board sees is a new request, not a repeated CANCEL.
    EXPECT_TRUE(Submit([&] { return ReadFile(pipe, mineBuffer, 4, nullptr, &mine); },
                       [&](int c, const vbus::Submit& s) {
                           board_->Send(c, Done{s.id, 0, 0, {}, {}});
                       }));
    CloseHandle(pipe);
}

TEST_F(BoardIo, ClosingWithIoPendingCancelsAndStillDeliversTheCompletion) {
    HANDLE pipe = Open("\\PIPE02");
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    OVERLAPPED overlapped = WithEvent();
    std::uint8_t buffer[16];
    const Held held = SubmitHeld([&] { return ReadFile(pipe, buffer, sizeof buffer, nullptr, &overlapped); });

    EXPECT_TRUE(CloseHandle(pipe));
    auto cancel = board_->Next();
    ASSERT_TRUE(cancel && std::holds_alternative<vbus::Cancel>(cancel->message));
    EXPECT_EQ(std::get<vbus::Cancel>(cancel->message).id, held.id);
    EXPECT_EQ(InternalOf(overlapped), STATUS_PENDING);
    EXPECT_EQ(board_->OpenConnections(), 1) << "the connection must wait for the board's answer";

    board_->Send(held.connection, Done{held.id, ERROR_OPERATION_ABORTED, 0, {}, {}});
    ASSERT_EQ(WaitForSingleObject(overlapped.hEvent, 20000), WAIT_OBJECT_0);
    DWORD n = 0;
    EXPECT_FALSE(GetOverlappedResult(pipe, &overlapped, &n, FALSE));
    EXPECT_EQ(GetLastError(), Err(ERROR_OPERATION_ABORTED));
    EXPECT_TRUE(board_->WaitForClientClose(held.connection));

    // The handle itself is gone at once.
    EXPECT_FALSE(ReadFile(pipe, buffer, 1, nullptr, &overlapped));
    EXPECT_EQ(GetLastError(), Err(ERROR_INVALID_HANDLE));
}

TEST_F(BoardIo, ClosingAnIdleHandleEndsTheConnection) {
    HANDLE device = Open("");
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    EXPECT_EQ(board_->OpenConnections(), 1);
    EXPECT_TRUE(CloseHandle(device));
    EXPECT_TRUE(board_->WaitForClientClose(1));
}

TEST_F(BoardIo, ASynchronousHandleWaitsForTheCompletion) {
    HANDLE device = Open("", false);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    std::atomic<bool> doneSent{false};
    DWORD returned = 5;
    EXPECT_TRUE(Submit(
        [&] {
            const BOOL done = DeviceIoControl(device, 0x220008, nullptr, 0, nullptr, 0, &returned, nullptr);
            EXPECT_TRUE(doneSent.load());
            return done;
        },
        [&](int c, const vbus::Submit& s) {
            EXPECT_EQ(s.op, vbus::Op::Ioctl);
            EXPECT_EQ(s.code, 0x220008u);
            board_->Send(c, Accepted{s.id});
            Sleep(50);
            doneSent = true;
            board_->Send(c, Done{s.id, 0, 0, {}, {}});
        }));
    EXPECT_EQ(returned, 0u);

    // A failure at once is the call's result.
    EXPECT_FALSE(
        Submit([&] { return DeviceIoControl(device, 0x220008, nullptr, 0, nullptr, 0, &returned, nullptr); },
               [&](int c, const vbus::Submit& s) {
                   board_->Send(c, Done{s.id, 31, 0, {}, {}});
               }));
    EXPECT_EQ(GetLastError(), Err(ERROR_GEN_FAILURE));
    CloseHandle(device);

    // An overlapped handle wants a record.
    HANDLE pipe = Open("\\PIPE01");
    const std::uint8_t digits[8] = {};
    EXPECT_FALSE(WriteFile(pipe, digits, sizeof digits, &returned, nullptr));
    EXPECT_EQ(GetLastError(), Err(ERROR_INVALID_PARAMETER));
    CloseHandle(pipe);
}

TEST_F(BoardIo, FailuresAreToldApartFromPending) {
    HANDLE pipe = Open("\\PIPE03");
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    OVERLAPPED overlapped = WithEvent();
    const std::uint8_t data[1] = {7};

    // At once: the call fails and, as on Windows, the event stays unset.
    EXPECT_FALSE(Submit([&] { return WriteFile(pipe, data, 1, nullptr, &overlapped); },
                        [&](int c, const vbus::Submit& s) {
                            board_->Send(c, Done{s.id, 31, 0, {}, {}});
                        }));
    EXPECT_EQ(GetLastError(), Err(ERROR_GEN_FAILURE));
    EXPECT_EQ(WaitForSingleObject(overlapped.hEvent, 0), WAIT_TIMEOUT);

    // Later, with error 259, whose number equals the pending status.
    EXPECT_FALSE(Submit([&] { return WriteFile(pipe, data, 1, nullptr, &overlapped); },
                        [&](int c, const vbus::Submit& s) {
                            board_->Send(c, Accepted{s.id});
                            board_->Send(c, Done{s.id, ERROR_NO_MORE_ITEMS, 0, {}, {}});
                        }));
    EXPECT_EQ(GetLastError(), Err(ERROR_IO_PENDING));
    DWORD n = 0;
    EXPECT_FALSE(GetOverlappedResult(pipe, &overlapped, &n, TRUE));
    EXPECT_EQ(GetLastError(), Err(ERROR_NO_MORE_ITEMS));
    EXPECT_FALSE(GetOverlappedResult(pipe, &overlapped, &n, FALSE));
    EXPECT_EQ(GetLastError(), Err(ERROR_NO_MORE_ITEMS));
    CloseHandle(pipe);
}

}  // namespace
}  // namespace winapi_test
