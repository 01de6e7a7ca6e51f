// A board that misbehaves on purpose: every call on it fails cleanly within its time limit,
// never writes past what the caller gave, and the program's terminal stays quiet unless
// diagnostics were asked for (and then they come rate-limited).
#include <chrono>
#include <cstring>
#include <sstream>

#include "io_fixture.h"

namespace winapi_test {
namespace {

using vbus::Accepted;
using vbus::Done;
using Clock = std::chrono::steady_clock;

// What the board does to a read it has just accepted.
struct Misdeed {
    const char* name;
    std::function<void(FakeBoard&, int connection, std::uint32_t id)> act;
};

std::vector<Misdeed> Misdeeds() {
    return {
        {"closes in the middle of a frame",
         [](FakeBoard& b, int c, std::uint32_t id) {
             vbus::Bytes frame = vbus::Encode(Done{id, 0, 4, {1, 2, 3, 4}, {}});
             frame.resize(frame.size() / 2);
             b.SendRaw(c, frame);
             b.Drop(c);
         }},
        {"announces a frame longer than the protocol allows",
         [](FakeBoard& b, int c, std::uint32_t) {
             const std::uint32_t n = vbus::kMaxFrame + 1;
             b.SendRaw(c,
                       {std::uint8_t(n), std::uint8_t(n >> 8), std::uint8_t(n >> 16), std::uint8_t(n >> 24)});
         }},
        {"answers another request",
         [](FakeBoard& b, int c, std::uint32_t id) {
             b.Send(c, Done{id + 1, 0, 4, {1, 2, 3, 4}, {}});
         }},
        {"answers the request twice", [](FakeBoard& b, int c, std::uint32_t id) { b.Send(c, Accepted{id}); }},
        {"sends garbage",
         [](FakeBoard& b, int c, std::uint32_t) {
             b.SendRaw(c, {5, 0, 0, 0, 0x99, 1, 2, 3, 4});
         }},
    };
}

TEST_F(BoardIo, AHostileBoardFailsTheCallCleanlyAndQuietly) {
    standin::SetBoardAnswerLimit(300);
    ::testing::internal::CaptureStderr();
    for (const Misdeed& misdeed : Misdeeds()) {
        SCOPED_TRACE(misdeed.name);
        HANDLE pipe = Open("\\PIPE02");
        ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
        OVERLAPPED overlapped = WithEvent();
        std::uint8_t buffer[8];
        std::memset(buffer, 0xEE, sizeof buffer);
        EXPECT_FALSE(Submit([&] { return ReadFile(pipe, buffer, 4, nullptr, &overlapped); },
                            [&](int c, const vbus::Submit& s) {
                                board_->Send(c, Accepted{s.id});
                                misdeed.act(*board_, c, s.id);
                            }));
        EXPECT_EQ(GetLastError(), Err(ERROR_IO_PENDING));
        const auto start = Clock::now();
        EXPECT_EQ(WaitForSingleObject(overlapped.hEvent, 20000), WAIT_OBJECT_0);
        DWORD n = 99;
        EXPECT_FALSE(GetOverlappedResult(pipe, &overlapped, &n, TRUE));
        EXPECT_EQ(GetLastError(), Err(ERROR_DEVICE_NOT_CONNECTED));
        EXPECT_EQ(n, 0u);
        EXPECT_EQ(buffer[4], 0xEE) << "written past the 4 bytes asked for";
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(10)) << "the failure did not come promptly";
        CloseHandle(pipe);
    }
    // A board that never answers a request at all: the call gives up after the answer limit.
    HANDLE device = Open("", /*overlapped=*/false);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    DWORD returned = 0;
    EXPECT_FALSE(DeviceIoControl(device, 0x220008, nullptr, 0, nullptr, 0, &returned, nullptr));
    EXPECT_EQ(GetLastError(), Err(ERROR_DEVICE_NOT_CONNECTED));
    CloseHandle(device);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << "diagnostics are off unless asked for";
}

TEST_F(BoardIo, DiagnosticsAskedForComeRateLimited) {
    standin::ShowDiagnostics(true);
    ::testing::internal::CaptureStderr();
    constexpr int kFaults = 20;
    for (int i = 0; i < kFaults; ++i) {
        HANDLE pipe = Open("\\PIPE00");
        ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
        OVERLAPPED overlapped = WithEvent();
        std::uint8_t buffer[4];
        EXPECT_FALSE(Submit([&] { return ReadFile(pipe, buffer, sizeof buffer, nullptr, &overlapped); },
                            [&](int c, const vbus::Submit& s) {
                                board_->Send(c, Accepted{s.id});
                                board_->Send(c, Done{s.id + 7, 0, 0, {}, {}});  // a request nobody made
                            }));
        DWORD n = 0;
        EXPECT_FALSE(GetOverlappedResult(pipe, &overlapped, &n, TRUE));
        CloseHandle(pipe);
    }
    const std::string out = ::testing::internal::GetCapturedStderr();
    standin::ShowDiagnostics(false);
    std::istringstream lines(out);
    int count = 0;
    for (std::string line; std::getline(lines, line);) {
        ++count;
        EXPECT_NE(line.find("which is not pending"), std::string::npos) << line;
    }
    EXPECT_GE(count, 1) << "asked-for diagnostics must show";
    EXPECT_LE(count, 10) << "a burst of faults must not flood the terminal:\n" << out;
}

}  // namespace
}  // namespace winapi_test
