// Board link: finds the board through its driver's device interface, opens device and pipe
// handles, moves data over pipes with time limits and issues the board's control requests.
//
// Plain functions over handles and caller-owned buffers. Failures come back as -1 (or the
// invalid-handle value) and are never shown; callers decide what the user sees.
#pragma once

#include <windows.h>
#include <winioctl.h>
#include <setupapi.h>

#include <cstddef>
#include <functional>
#include <mutex>
#include <string>

// ---- driver contract ------------------------------------------------------------

// Interface class of the board driver: {77F49320-16EF-11D2-AD51-006097B514DD}.
extern const GUID BOARD_INTERFACE_GUID;

constexpr DWORD IOCTL_RESET_PIPE = CTL_CODE(0x22u, 2u, METHOD_BUFFERED, FILE_ANY_ACCESS);
constexpr DWORD IOCTL_BOARD_TRANSFER = CTL_CODE(0x8000u, 0x804u, METHOD_BUFFERED, FILE_ANY_ACCESS);
constexpr DWORD IOCTL_BOARD_TYPE = CTL_CODE(0x8000u, 0x803u, METHOD_BUFFERED, FILE_ANY_ACCESS);
static_assert(IOCTL_RESET_PIPE == 0x220008u);
static_assert(IOCTL_BOARD_TRANSFER == 0x80002010u);
static_assert(IOCTL_BOARD_TYPE == 0x8000200cu);

constexpr DWORD REQUEST_EEPROM_TRANSFER = 0x474;
constexpr DWORD REQUEST_BOARD_TYPE = 0x472;

// Input record of both board control codes. `data` points into the caller's memory: on the
// 32-bit Windows the tools ship for it is 4 bytes wide and the block is 16 bytes, the only
// block the board's driver takes. On a 64-bit host the field stays pointer-sized (the block is
// then 24 bytes), which only the virtual board takes: the 64-bit Windows build (presets
// windows-x64, windows-test-x64) is for testing only and never shipped.
struct ControlBlock {
    DWORD offset;   // EEPROM start address, or 0
    DWORD length;   // bytes behind `data`
    void* data;     // TransferCommand, or the caller's result byte
    DWORD request;  // REQUEST_EEPROM_TRANSFER or REQUEST_BOARD_TYPE
};

#pragma pack(push, 1)
struct TransferCommand {
    WORD addressLow;   // always 0: the address travels in ControlBlock::offset
    BYTE addressHigh;  // always 0
    WORD size;         // bytes to move
    BYTE command;      // 1 = EEPROM to host, 0 = host to EEPROM
};
#pragma pack(pop)

static_assert(sizeof(TransferCommand) == 6);
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(ControlBlock) == 16);
#endif

// ---- discovery and handles --------------------------------------------------------

// The device path of the board that discovery last found: one process-wide 256-byte
// buffer. Discovery writes it on the window's thread while workers read it to open pipes,
// so every access goes through the lock and readers take a whole copy.
class DevicePathBuffer {
public:
    static constexpr std::size_t kSize = 256;
    // Room is kept for a backslash, a six-character pipe name and the NUL.
    static constexpr std::size_t kMaxDevicePath = kSize - 8;

    // Replaces the path; refuses (false, unchanged) a path longer than kMaxDevicePath.
    bool Store(const char* path);
    void CopyTo(char (&out)[kSize]) const;
    std::string Get() const;

private:
    mutable std::mutex lock_;
    char path_[kSize] = {};
};

extern DevicePathBuffer DevicePath;

// 0 when a board interface could be opened (its path is then in DevicePath), -1 otherwise.
int FindBoard();
HANDLE EnumerateBoardInterfaces(const GUID& guid, DevicePathBuffer& pathOut);
HANDLE OpenInterfaceAt(HDEVINFO deviceSet, PSP_DEVICE_INTERFACE_DATA interfaceData,
                       DevicePathBuffer& pathOut);
// Open the device, or one of its pipes ("PIPE02"), on the path in DevicePath.
HANDLE OpenBoardDevice();
HANDLE OpenBoardPipe(const char* name);
// The same on a path the caller took from DevicePath once (DevicePath.CopyTo): a job that
// opens the device and a pipe from one copy opens both on the same board, whatever discovery
// finds meanwhile.
HANDLE OpenBoardDevice(const char* devicePath);
HANDLE OpenBoardPipe(const char* devicePath, const char* name);
int CloseBoardHandle(HANDLE handle);

// ---- timed pipe transfers ----------------------------------------------------------

// Bytes moved (0 or more), or -1 after a failure or time-out; the pipe is then reset.
// timeoutMs INFINITE waits without limit.
int ReadPipeTimed(HANDLE pipe, void* buffer, DWORD count, DWORD timeoutMs);
int WritePipeTimed(HANDLE pipe, const void* buffer, DWORD count, DWORD timeoutMs);

// The caller's own stop state: true once whoever runs the caller's job has told it to stop
// (a window closing, a console interrupt) and cancelled what it had pending.
using StopRequested = std::function<bool()>;

// The same, except that a failed transfer is not followed by a reset when `stopping` says the
// caller is being stopped: the pipe is closed next, and a reset could stall as the transfer
// did. The error code cannot tell: a driver that aborts a request by itself (a pipe abort, a
// surprise removal) reports ERROR_OPERATION_ABORTED as a cancel does, and its pipe needs the
// reset.
int ReadPipeTimed(HANDLE pipe, void* buffer, DWORD count, DWORD timeoutMs, const StopRequested& stopping);
int WritePipeTimed(HANDLE pipe, const void* buffer, DWORD count, DWORD timeoutMs,
                   const StopRequested& stopping);
void ResetPipe(HANDLE pipe);

// ---- control requests and board type --------------------------------------------------

// 0 on success, -1 on failure. Only the low 8 bits of startAddress travel.
int SendTransferRequest(HANDLE device, BYTE direction, DWORD startAddress, DWORD length);
// 0 on success with the byte in typeOut; callers preset typeOut to 0.
int QueryBoardType(HANDLE device, BYTE& typeOut);

struct BoardTypeEntry {
    BYTE type;
    const char* title;
};
extern const BoardTypeEntry BoardTypeTable[2];

extern const char kNoBoardTitle[];       // "No Board Attached "
extern const char kUnknownBoardTitle[];  // "Unknown Board"

// Title text for a board-type byte: a known model, or "Unknown Board".
const char* BoardTypeTitle(BYTE type);
bool IsKnownBoardType(BYTE type);

enum class BoardPresence { Absent, Unknown, Known };
struct BoardIdentity {
    BoardPresence presence;
    BYTE type;
    const char* title;
};

// The identification sequence of detection: find the board, open its device, ask its type
// byte (preset to 0), look it up, close the device.
BoardIdentity IdentifyBoard();

// ---- choosing among several boards ----------------------------------------------------

// Interfaces in the board driver's set, present ones only: the member indexes 0 .. n-1 that
// the set yields before its no-more-items end (0 when there is no set).
DWORD CountBoardInterfaces();
// Discovery for the interface at member index `index` alone: opens it as FindBoard opens the
// first (its path is then in DevicePath) and closes it again. 0 when it opened, -1 otherwise.
int FindBoardAt(DWORD index);
// The identification sequence of IdentifyBoard for the interface at member index `index`.
BoardIdentity IdentifyBoardAt(DWORD index);
