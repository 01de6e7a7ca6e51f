#include <cstring>

#include "board_fixture.h"
#include "board_link.h"
#include "winapi_standin.h"

namespace {

using vboard::FaultMode;
using vboard::Target;

class ControlRequests : public BoardLinkTest {
protected:
    HANDLE Device() {
        EXPECT_EQ(FindBoard(), 0);
        HANDLE device = OpenBoardDevice();
        EXPECT_NE(device, INVALID_HANDLE_VALUE);
        return device;
    }
};

TEST_F(ControlRequests, RecordsHaveTheDriversLayout) {
    EXPECT_EQ(offsetof(ControlBlock, offset), 0u);
    EXPECT_EQ(offsetof(ControlBlock, length), 4u);
    EXPECT_EQ(offsetof(ControlBlock, data), 8u);
    EXPECT_EQ(offsetof(ControlBlock, request), 8u + sizeof(void*));
    EXPECT_EQ(offsetof(TransferCommand, size), 3u);
    EXPECT_EQ(offsetof(TransferCommand, command), 5u);
}

TEST_F(ControlRequests, AnAddressTravelsModulo256) {
    auto& board = AddBoard();
    std::vector<std::uint8_t> marker = {0x44, 0x45, 0x46, 0x47};
    ASSERT_TRUE(board.WriteEeprom(44, marker));
    HANDLE device = Device();
    EXPECT_EQ(SendTransferRequest(device, 1, 300, 4), 0);
    CloseBoardHandle(device);
    HANDLE pipe = OpenBoardPipe("PIPE02");
    unsigned char got[4] = {};
    EXPECT_EQ(ReadPipeTimed(pipe, got, 4, 1000), 4);
    CloseBoardHandle(pipe);
    EXPECT_EQ(0, std::memcmp(got, marker.data(), 4));
    auto ioctls = LogEntries(board, vboard::LogOp::Ioctl);
    ASSERT_FALSE(ioctls.empty());
    EXPECT_EQ(ioctls.front().code, IOCTL_BOARD_TRANSFER);
}

TEST_F(ControlRequests, AWriteReachesTheEepromAndSurvivesARestartOfTheBoard) {
    const std::string file = bus_->Directory() + "/kept.bin";
    {
        AddBoard({.eepromFile = file});
        HANDLE device = Device();
        ASSERT_EQ(SendTransferRequest(device, 0, 250, 6), 0);
        CloseBoardHandle(device);
        HANDLE pipe = OpenBoardPipe("PIPE03");
        const unsigned char data[6] = {1, 2, 3, 4, 5, 6};
        EXPECT_EQ(WritePipeTimed(pipe, data, 6, 1000), 6);
        CloseBoardHandle(pipe);
        bus_->RemoveBoards();
    }
    auto& again = AddBoard({.eepromFile = file});
    auto eeprom = again.EepromContents();
    EXPECT_EQ(eeprom[250], 1);
    EXPECT_EQ(eeprom[255], 6);
    EXPECT_EQ(eeprom[249], 0xFF);
}

TEST_F(ControlRequests, ARefusedRequestFailsAndAHangingOneTimesOut) {
    auto& board = AddBoard();
    HANDLE device = Device();
    board.SetFault(Target::Transfer, {FaultMode::Fail, ERROR_GEN_FAILURE});
    EXPECT_EQ(SendTransferRequest(device, 1, 0, 4), -1);

    board.SetFault(Target::Type, {FaultMode::Stall, 0});
    board.SetCancelDelay(100);
    BYTE type = 0;
    EXPECT_EQ(QueryBoardType(device, type), -1);
    EXPECT_EQ(standin::PendingRequestCount(), 0u) << "collected before the result byte's owner goes";
    EXPECT_EQ(type, 0);
    EXPECT_EQ(CountIoctls(board, IOCTL_RESET_PIPE), 0) << "no reset after a control request";
    CloseBoardHandle(device);
}

TEST_F(ControlRequests, TheTypeQueryWritesTheCallersByte) {
    AddBoard({.type = 0x5A});
    HANDLE device = Device();
    BYTE type = 0;
    EXPECT_EQ(QueryBoardType(device, type), 0);
    EXPECT_EQ(type, 0x5A);
    CloseBoardHandle(device);
}

}  // namespace
