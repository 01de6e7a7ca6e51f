// The stand-in against virtual boards running in this process.
#include <gtest/gtest.h>
#include <setupapi.h>
#include <windows.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <vector>

#include "fake_board.h"
#include "vboard/board.h"
#include "winapi_standin.h"

namespace winapi_test {
namespace {

const GUID kBoardGuid = {0x77F49320, 0x16EF, 0x11D2, {0xAD, 0x51, 0x00, 0x60, 0x97, 0xB5, 0x14, 0xDD}};

struct ControlBlock {
    DWORD offset;
    DWORD length;
    void* data;
    DWORD request;
};

class VirtualBoard : public ::testing::Test {
  protected:
    void TearDown() override {
        for (HANDLE event : events_) CloseHandle(event);
        boards_.clear();
        EXPECT_EQ(standin::OpenHandleCount(), handlesBefore_);
    }

    vboard::Board& Start(int slot) {
        vboard::BoardOptions options;
        options.busDir = bus_.dir();
        options.slot = slot;
        options.eepromFile = bus_.dir() + "/board-" + std::to_string(slot) + ".eeprom";
        options.clockRunning = false;
        options.diagnostics = [](const std::string&) {};
        boards_.push_back(std::make_unique<vboard::Board>(options));
        std::string why;
        EXPECT_TRUE(boards_.back()->Start(&why)) << why;
        return *boards_.back();
    }

    HANDLE Open(const std::string& path) {
        return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    }

    OVERLAPPED WithEvent() {
        OVERLAPPED overlapped{};
        overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        events_.push_back(overlapped.hEvent);
        return overlapped;
    }

    std::size_t handlesBefore_ = standin::OpenHandleCount();
    TempBus bus_;
    std::vector<std::unique_ptr<vboard::Board>> boards_;
    std::vector<HANDLE> events_;
};

std::string DetailPath(HDEVINFO set, DWORD index) {
    SP_DEVICE_INTERFACE_DATA data;
    std::memset(&data, 0, sizeof data);
    data.cbSize = sizeof data;
    if (!SetupDiEnumDeviceInterfaces(set, nullptr, &kBoardGuid, index, &data)) return "";
    DWORD required = 0;
    if (SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, nullptr) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return "";
    std::vector<std::uint8_t> storage(required);
    auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(storage.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!SetupDiGetDeviceInterfaceDetailA(set, &data, detail, required, nullptr, nullptr)) return "";
    EXPECT_EQ(required,
              offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + std::strlen(detail->DevicePath) + 1);
    return detail->DevicePath;
}

TEST_F(VirtualBoard, TwoBoardsAreListedInIndexOrderAndAnUnpluggedOneIsNot) {
    vboard::Board& later = Start(3);
    vboard::Board& first = Start(1);
    HDEVINFO set = SetupDiGetClassDevsA(&kBoardGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    EXPECT_EQ(DetailPath(set, 0), first.DevicePath());
    EXPECT_EQ(DetailPath(set, 1), later.DevicePath());
    EXPECT_EQ(DetailPath(set, 2), "");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    SetupDiDestroyDeviceInfoList(set);

    first.Unplug();
    set = SetupDiGetClassDevsA(&kBoardGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    EXPECT_EQ(DetailPath(set, 0), later.DevicePath());
    SetupDiDestroyDeviceInfoList(set);

    // Each path opens on its own board.
    HANDLE device = Open(later.DevicePath());
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    CloseHandle(device);
    EXPECT_EQ(Open(first.DevicePath()), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(VirtualBoard, TheTypeQueryCompletesAtOnceOrLater) {
    vboard::Board& board = Start(0);
    board.SetType(0x22);
    HANDLE device = Open(board.DevicePath());
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    OVERLAPPED overlapped = WithEvent();

    board.SetFault(vboard::Target::Type, {vboard::FaultMode::Immediate, 0});
    BYTE type = 0;
    ControlBlock block{0, 1, &type, 0x472};
    DWORD returned = 0;
    EXPECT_TRUE(DeviceIoControl(device, 0x8000200c, &block, sizeof block, &type, 1, &returned, &overlapped));
    EXPECT_EQ(type, 0x22);
    EXPECT_EQ(WaitForSingleObject(overlapped.hEvent, 0), WAIT_OBJECT_0);

    board.SetFault(vboard::Target::Type, {vboard::FaultMode::Delay, 100});
    type = 0;
    if (!DeviceIoControl(device, 0x8000200c, &block, sizeof block, &type, 1, &returned, &overlapped)) {
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
        EXPECT_TRUE(GetOverlappedResult(device, &overlapped, &returned, TRUE));
    }
    EXPECT_EQ(type, 0x22);
    CloseHandle(device);
}

TEST_F(VirtualBoard, AStatusReadPendsUntilAKeyChanges) {
    vboard::Board& board = Start(0);
    HANDLE pipe = Open(board.DevicePath() + "\\PIPE00");
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    OVERLAPPED overlapped = WithEvent();
    std::uint8_t report[4] = {};
    DWORD read = 0;
    EXPECT_FALSE(ReadFile(pipe, report, sizeof report, &read, &overlapped));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
    EXPECT_FALSE(GetOverlappedResult(pipe, &overlapped, &read, FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_INCOMPLETE));

    board.SetKey(2, true);
    EXPECT_TRUE(GetOverlappedResult(pipe, &overlapped, &read, TRUE));
    EXPECT_EQ(read, 4u);
    CloseHandle(pipe);
}

TEST_F(VirtualBoard, ATimedOutReadIsCancelledAndCompletesWithAborted) {
    vboard::Board& board = Start(0);
    board.SetCancelDelay(30);
    HANDLE pipe = Open(board.DevicePath() + "\\PIPE02");
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    OVERLAPPED overlapped = WithEvent();
    std::uint8_t bytes[16];
    // No transfer request came first, so the board's pipe stays pending.
    EXPECT_FALSE(ReadFile(pipe, bytes, sizeof bytes, nullptr, &overlapped));
    EXPECT_EQ(WaitForSingleObject(overlapped.hEvent, 50), WAIT_TIMEOUT);
    EXPECT_TRUE(CancelIo(pipe));
    DWORD read = 0;
    EXPECT_FALSE(GetOverlappedResult(pipe, &overlapped, &read, TRUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
    CloseHandle(pipe);
}

TEST_F(VirtualBoard, AClosedHandleStillCompletesItsPendingRead) {
    vboard::Board& board = Start(0);
    HANDLE pipe = Open(board.DevicePath() + "\\PIPE00");
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    OVERLAPPED overlapped = WithEvent();
    std::uint8_t report[4];
    EXPECT_FALSE(ReadFile(pipe, report, sizeof report, nullptr, &overlapped));
    EXPECT_TRUE(CloseHandle(pipe));
    ASSERT_EQ(WaitForSingleObject(overlapped.hEvent, 20000), WAIT_OBJECT_0);
    DWORD read = 0;
    EXPECT_FALSE(GetOverlappedResult(pipe, &overlapped, &read, FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
}

TEST_F(VirtualBoard, UnpluggingFailsAPendingReadWithDeviceNotConnected) {
    vboard::Board& board = Start(0);
    HANDLE pipe = Open(board.DevicePath() + "\\PIPE00");
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    OVERLAPPED overlapped = WithEvent();
    std::uint8_t report[4];
    EXPECT_FALSE(ReadFile(pipe, report, sizeof report, nullptr, &overlapped));
    board.Unplug();
    DWORD read = 0;
    EXPECT_FALSE(GetOverlappedResult(pipe, &overlapped, &read, TRUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    CloseHandle(pipe);
}

}  // namespace
}  // namespace winapi_test
