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

// X(return type, name, (parameters)) for each call the trace sees.
#define BOARD_TRACE_CALLS(X)                                                                       \
    X(HANDLE, CreateFileA, (LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE))    \
    X(BOOL, ReadFile, (HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED))                              \
    X(BOOL, WriteFile, (HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED))                            \
    X(BOOL, DeviceIoControl, (HANDLE, DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD, LPOVERLAPPED)) \
    X(BOOL, GetOverlappedResult, (HANDLE, LPOVERLAPPED, LPDWORD, BOOL))                            \
    X(BOOL, CancelIo, (HANDLE))                                                                    \
    X(BOOL, CancelIoEx, (HANDLE, LPOVERLAPPED))                                                    \
    X(BOOL, CloseHandle, (HANDLE))                                                                 \
    X(HDEVINFO, SetupDiGetClassDevsA, (const GUID*, PCSTR, HWND, DWORD))                           \
    X(BOOL, SetupDiEnumDeviceInterfaces,                                                           \
      (HDEVINFO, PSP_DEVINFO_DATA, const GUID*, DWORD, PSP_DEVICE_INTERFACE_DATA))                 \
    X(BOOL, SetupDiGetDeviceInterfaceDetailA,                                                      \
      (HDEVINFO, PSP_DEVICE_INTERFACE_DATA, PSP_DEVICE_INTERFACE_DETAIL_DATA_A, DWORD, PDWORD,     \
       PSP_DEVINFO_DATA))                                                                          \
    X(BOOL, SetupDiDestroyDeviceInfoList, (HDEVINFO))

#define BOARD_TRACE_DECLARE(type, name, parameters) type WINAPI trace_##name parameters;
extern "C" {
BOARD_TRACE_CALLS(BOARD_TRACE_DECLARE)
}
#undef BOARD_TRACE_DECLARE
