// Controls of the Windows-API stand-in that Windows itself does not have: where the board
// bus is, faults of the device-setup calls, and counters for leak checks. For tests and for
// the dialog backend; system code never includes this.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace standin {

// The bus directory the stand-in uses; SetBusDirectory("") returns to the bus's default
// ($VBOARD_BUS, else $XDG_RUNTIME_DIR/vboard-bus, else /tmp/vboard-bus-<uid>).
std::string BusDirectory();
void SetBusDirectory(std::string directory);

// How long a board may take to answer a HELLO or a request (with WELCOME, ACCEPTED or
// DONE) before it counts as gone: its connection is closed and the call fails as for an
// unplugged board. A board stopped in a terminal cannot hang the caller. 0 restores the
// default of 5000 ms.
void SetBoardAnswerLimit(unsigned milliseconds);

// From now on SetupDiGetClassDevsA fails with `error` (INVALID_HANDLE_VALUE); 0 ends that.
void FailClassDevs(DWORD error);
// From now on the size query of SetupDiGetDeviceInterfaceDetailA (no buffer, size 0) fails
// with `error` instead of ERROR_INSUFFICIENT_BUFFER; 0 ends that.
void FailDetailSizeQuery(DWORD error);
// Ends both faults above.
void ClearSetupFaults();

// Lines on standard error about boards that break the protocol: off unless the environment has
// VBOARD_DIAGNOSTICS=1 when the first is due; this turns them on or off. They are rate-limited.
void ShowDiagnostics(bool on);

// Threads the stand-in has started to serve board connections (one completion thread for the
// whole process). Threads the program starts itself (CreateThread) are not counted.
std::size_t CompletionThreadsStarted();

// Handles open in the process: files, events, threads and device sets.
std::size_t OpenHandleCount();
// Requests sent to boards whose completion has not happened yet, including those on
// handles already closed.
std::size_t PendingRequestCount();

}  // namespace standin
