// Control blocks that name caller memory, and boards that break the rules.
#include <cstring>

#include "io_fixture.h"

namespace winapi_test {
namespace {

using vbus::Accepted;
using vbus::Done;

// The board's control block with a pointer of the host's width.
struct ControlBlock {
    DWORD offset;
    DWORD length;
    void* data;
    DWORD request;
};

TEST_F(BoardIo, AControlBlockCarriesItsMemoryBothWays) {
    HANDLE device = Open("");
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    OVERLAPPED overlapped = WithEvent();

    std::uint8_t command[6] = {0, 0, 0, 16, 0, 1};
    ControlBlock block{44, sizeof command, command, 0x474};
    const Held held = SubmitHeld(
        [&] {
            return DeviceIoControl(device, 0x80002010, &block, sizeof block, nullptr, 0, nullptr,
                                   &overlapped);
        },
        [&](const vbus::Submit& s) {
            EXPECT_EQ(s.input.size(), sizeof block);
            EXPECT_EQ(s.window, (vbus::Bytes{0, 0, 0, 16, 0, 1}));
        });
    // Memory the board changes is written at completion, not before.
    board_->Send(held.connection, Done{held.id, 0, 0, {}, {9, 9, 9, 9, 9, 9}});
    DWORD n = 0;
    EXPECT_TRUE(GetOverlappedResult(device, &overlapped, &n, TRUE));
    EXPECT_EQ(command[0], 9);
    EXPECT_EQ(command[5], 9);

    // A window longer than the block's length is not written anywhere.
    std::memcpy(command, "\0\0\0\x10\0\x01", 6);
    EXPECT_TRUE(Submit(
        [&] {
            return DeviceIoControl(device, 0x80002010, &block, sizeof block, nullptr, 0, nullptr,
                                   &overlapped);
        },
        [&](int c, const vbus::Submit& s) {
            board_->Send(c, Done{s.id, 0, 0, {}, vbus::Bytes(7, 1)});
        }));
    EXPECT_EQ(command[0], 0);

    // The type query: a one-byte output buffer, which is also the block's memory.
    BYTE type = 0;
    ControlBlock query{0, 1, &type, 0x472};
    EXPECT_TRUE(Submit(
        [&] { return DeviceIoControl(device, 0x8000200c, &query, sizeof query, &type, 1, &n, &overlapped); },
        [&](int c, const vbus::Submit& s) {
            EXPECT_EQ(s.outLength, 1u);
            EXPECT_EQ(s.window, (vbus::Bytes{0}));
            board_->Send(c, Done{s.id, 0, 1, {0x22}, {}});
        }));
    EXPECT_EQ(n, 1u);
    EXPECT_EQ(type, 0x22);

    // No memory travels for a null pointer, a zero or too large length, or another input size.
    const auto answerWithoutMemory = [&](int c, const vbus::Submit& s) {
        EXPECT_TRUE(s.window.empty());
        board_->Send(c, Done{s.id, 0, 0, {}, {}});
    };
    for (ControlBlock odd : {ControlBlock{0, 6, nullptr, 0x474}, ControlBlock{0, 0, command, 0x474},
                             ControlBlock{0, 257, command, 0x474}}) {
        EXPECT_TRUE(Submit(
            [&] {
                return DeviceIoControl(device, 0x80002010, &odd, sizeof odd, nullptr, 0, nullptr,
                                       &overlapped);
            },
            answerWithoutMemory));
    }
    EXPECT_TRUE(Submit(
        [&] {
            return DeviceIoControl(device, 0x80002010, &block, sizeof block - 1, nullptr, 0, nullptr,
                                   &overlapped);
        },
        answerWithoutMemory));
    CloseHandle(device);
}

TEST_F(BoardIo, ABoardCannotWritePastTheCallersBuffer) {
    HANDLE pipe = Open("\\PIPE02");
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    OVERLAPPED overlapped = WithEvent();
    std::uint8_t buffer[8];
    std::memset(buffer, 0xEE, sizeof buffer);
    DWORD read = 0;
    EXPECT_TRUE(Submit([&] { return ReadFile(pipe, buffer, 4, &read, &overlapped); },
                       [&](int c, const vbus::Submit& s) {
                           board_->Send(c, Done{s.id, 0, 100, vbus::Bytes(100, 1), {}});
                       }));
    EXPECT_EQ(read, 4u);
    EXPECT_EQ(buffer[3], 1);
    EXPECT_EQ(buffer[4], 0xEE);

    // Fewer data bytes than the count it claims: only what came is reported.
    EXPECT_TRUE(Submit([&] { return ReadFile(pipe, buffer, 4, &read, &overlapped); },
                       [&](int c, const vbus::Submit& s) {
                           board_->Send(c, Done{s.id, 0, 4, {2, 2}, {}});
                       }));
    EXPECT_EQ(read, 2u);
    CloseHandle(pipe);
}

TEST_F(BoardIo, AProtocolFaultEndsTheConnectionAndFailsWhatIsPending) {
    const vbus::Bytes faults[] = {vbus::Encode(Done{12345, 0, 0, {}, {}}),
                                  vbus::Encode(Accepted{12345}),
                                  vbus::Encode(vbus::Reply{true, "?"}),
                                  {0xFF, 0xFF, 0xFF, 0x7F, 0x83}};
    for (const auto& fault : faults) {
        HANDLE pipe = Open("\\PIPE00");
        ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
        OVERLAPPED overlapped = WithEvent();
        std::uint8_t buffer[4];
        const Held held =
            SubmitHeld([&] { return ReadFile(pipe, buffer, sizeof buffer, nullptr, &overlapped); });

        board_->SendRaw(held.connection, fault);
        DWORD n = 0;
        EXPECT_FALSE(GetOverlappedResult(pipe, &overlapped, &n, TRUE));
        EXPECT_EQ(GetLastError(), Err(ERROR_DEVICE_NOT_CONNECTED));
        EXPECT_TRUE(board_->WaitForClientClose(held.connection));
        CloseHandle(pipe);
    }
}

TEST_F(BoardIo, ABoardThatStopsAnsweringCannotHangTheCaller) {
    standin::SetBoardAnswerLimit(200);
    HANDLE device = Open("", /*overlapped=*/false);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    DWORD returned = 0;
    EXPECT_FALSE(DeviceIoControl(device, 0x220008, nullptr, 0, nullptr, 0, &returned, nullptr));
    EXPECT_EQ(GetLastError(), Err(ERROR_DEVICE_NOT_CONNECTED));
    CloseHandle(device);
}

TEST_F(BoardIo, BadArgumentsNeverReachTheBoard) {
    HANDLE pipe = Open("\\PIPE02");
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    OVERLAPPED overlapped = WithEvent();
    EXPECT_FALSE(ReadFile(pipe, nullptr, 4, nullptr, &overlapped));
    EXPECT_EQ(GetLastError(), Err(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(DeviceIoControl(pipe, 1, nullptr, 4, nullptr, 0, nullptr, &overlapped));
    EXPECT_EQ(GetLastError(), Err(ERROR_INVALID_PARAMETER));
    OVERLAPPED stray{};
    stray.hEvent = pipe;  // not an event
    std::uint8_t byte;
    EXPECT_FALSE(ReadFile(pipe, &byte, 1, nullptr, &stray));
    EXPECT_EQ(GetLastError(), Err(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(ReadFile(overlapped.hEvent, &byte, 1, nullptr, &overlapped));
    EXPECT_EQ(GetLastError(), Err(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(board_->Next(std::chrono::milliseconds(100)).has_value());
    CloseHandle(pipe);
}

#if defined(__SANITIZE_ADDRESS__)
// The reason the completion writes caller memory when it happens: code that lets a buffer
// go while its request is still pending is caught.
TEST_F(BoardIo, ACompletionIntoAFreedBufferIsCaught) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            HANDLE pipe = Open("\\PIPE02");
            OVERLAPPED overlapped = WithEvent();
            auto* buffer = new std::uint8_t[16];
            const Held held = SubmitHeld([&] { return ReadFile(pipe, buffer, 16, nullptr, &overlapped); });
            CancelIo(pipe);
            delete[] buffer;  // too early: the cancellation has not completed
            board_->Send(held.connection, Done{held.id, ERROR_OPERATION_ABORTED, 0, {}, {}});
            WaitForSingleObject(overlapped.hEvent, 20000);
        },
        "heap-use-after-free");
}
#endif

}  // namespace
}  // namespace winapi_test
