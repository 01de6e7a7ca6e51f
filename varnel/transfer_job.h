// One EEPROM read or write against the board, run on a worker thread of its own so that the
// window stays responsive while the board answers.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "board_link.h"
#include "job_control.h"

constexpr int kMaxTransferBytes = 64;
constexpr DWORD kTransferTimeoutMs = 1000;

// What a worker needs of the window that started it. Every call comes from the worker's thread;
// the window decides on its own thread, so that nothing can come between its check and what
// it does.
class TransferOwner {
  public:
    // A failure of the job: a message box owned by the window, caption "Test Error", type 0;
    // nothing once the window is closing.
    virtual void ShowTransferFailure(const char* text) = 0;
    // Appends the text to what the read display holds now, in one step on the window's
    // thread; nothing once the window is closing.
    virtual void AppendToReadDisplay(const std::string& text) = 0;
    // The job with this ticket has ended: it turns all four buttons on if it still holds them.
    virtual void JobEnded(int ticket) = 0;
    virtual JobControl& Jobs() = 0;

  protected:
    ~TransferOwner() = default;
};

// A job record: a member of the window, filled by the window before it starts the worker and
// left to the worker until the job ends.
struct TransferJob {
    TransferOwner* owner = nullptr;
    unsigned char data[kMaxTransferBytes] = {};  // read: from the board; write: the bytes to write
    std::uint8_t start = 0;                      // EEPROM start address
    std::int32_t length = 0;                     // bytes to move, 1 to 64
    int ticket = 0;                              // JobControl::JobStarted's
    // The board of the click: DevicePath as it was when the window started the job, so that
    // the job goes to the board the title named then, whatever a detection finds meanwhile.
    char devicePath[DevicePathBuffer::kSize] = {};
};

// Thread procedures; the parameter is the TransferJob. Both return 0. A job opens device and
// pipe on the record's device path, so both are on the board of the click; once the window is
// closing it issues no further request.
//
// Read: moves `length` bytes from the EEPROM over PIPE02 and appends them, as hex text, to the
// read display; only the bytes the pipe delivered are shown.
UINT ReadWorker(LPVOID job);
// Write: moves `length` bytes of `data` to the EEPROM over PIPE03; a pipe that takes fewer
// bytes than asked is a failure.
UINT WriteWorker(LPVOID job);
