// The board session trace: with BOARD_TRACE naming a file, every board-facing Windows call a
// program makes (device discovery, opening the device and its pipes, the control codes, reads,
// writes, their completions, cancels and closes) is written to that file as one line, in the
// format docs/TRACE.md describes. Without it the calls go straight through.
//
// The system code does not know of it: trace_redirect.h, force-included into its sources, binds
// each of these names to the trace_ function of the same signature, which makes the call and
// writes its line.
#pragma once

#include <windows.h>
// setupapi.h needs windows.h first.
#include <setupapi.h>

// The calls the trace sees: those on the board's handles and setupapi's, one list with the
// stand-in's (macros only; the header includes nothing).
#include "../winapi/include/winapi_board_calls.h"
#define BOARD_TRACE_CALLS(X) WINAPI_BOARD_IO_CALLS(X) WINAPI_BOARD_SETUPAPI_CALLS(X)

#define BOARD_TRACE_DECLARE(type, name, parameters) type WINAPI trace_##name parameters;
extern "C" {
BOARD_TRACE_CALLS(BOARD_TRACE_DECLARE)
}
#undef BOARD_TRACE_DECLARE
