// The board's two control requests on an open device handle.
#include "board_link.h"
#include "overlapped_wait.h"

namespace {

// Issues one control code with the block; 0 on success, -1 on failure. No reset follows.
int IssueControl(HANDLE device, DWORD code, ControlBlock& block, void* output, DWORD outputSize) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) return -1;
    OVERLAPPED overlapped{};
    overlapped.hEvent = event;
    DWORD returned = 0;
    DWORD error = ERROR_SUCCESS;
    if (!DeviceIoControl(device, code, &block, sizeof block, output, outputSize, &returned, &overlapped)) {
        error = GetLastError();
        if (error == ERROR_IO_PENDING)
            error = board_link_detail::AwaitOverlapped(device, overlapped, 1000, returned);
    }
    CloseHandle(event);
    return error == ERROR_SUCCESS ? 0 : -1;
}

}  // namespace

int SendTransferRequest(HANDLE device, BYTE direction, DWORD startAddress, DWORD length) {
    TransferCommand command{};
    command.addressLow = 0;
    command.addressHigh = 0;
    command.size = static_cast<WORD>(length & 0xFFFF);
    command.command = direction;

    ControlBlock block{};
    block.offset = startAddress & 0xFF;
    block.length = sizeof command;
    block.data = &command;
    block.request = REQUEST_EEPROM_TRANSFER;
    return IssueControl(device, IOCTL_BOARD_TRANSFER, block, nullptr, 0);
}

int QueryBoardType(HANDLE device, BYTE& typeOut) {
    ControlBlock block{};
    block.offset = 0;
    block.length = sizeof typeOut;
    block.data = &typeOut;
    block.request = REQUEST_BOARD_TYPE;
    return IssueControl(device, IOCTL_BOARD_TYPE, block, &typeOut, sizeof typeOut);
}
