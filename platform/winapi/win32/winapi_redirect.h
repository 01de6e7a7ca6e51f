// The test build of the tools for Windows: the calls that reach the board go to the
// Windows-API stand-in, which serves them from virtual boards over loopback TCP, instead of
// kernel32 and setupapi. Everything else stays with Windows.
//
// Force-included (-include) into the system code and into the stand-in itself, before any
// other header: the real <windows.h> and <setupapi.h> come first, then each board-facing name
// is bound to the stand-in's function of the same signature. The stand-in's handles never
// take values that kernel32 hands out; its WaitForSingleObject and CloseHandle pass any other
// handle (a worker thread's, say) on to kernel32.
#pragma once

#include <windows.h>
// setupapi.h needs windows.h first.
#include <setupapi.h>

#include <string_view>

#include "../include/winapi_board_calls.h"

#define WINAPI_DECLARE_STANDIN_CALL(type, name, parameters) type WINAPI standin_##name parameters;
extern "C" {
WINAPI_BOARD_KERNEL32_CALLS(WINAPI_DECLARE_STANDIN_CALL)
WINAPI_BOARD_SETUPAPI_CALLS(WINAPI_DECLARE_STANDIN_CALL)
}

// The preprocessor cannot write a #define, so the bindings are spelled out; the check after
// them fails the build for a call of the list that is left bound to Windows.
#define CreateFileA standin_CreateFileA
#define ReadFile standin_ReadFile
#define WriteFile standin_WriteFile
#define DeviceIoControl standin_DeviceIoControl
#define GetOverlappedResult standin_GetOverlappedResult
#define CancelIo standin_CancelIo
#define CancelIoEx standin_CancelIoEx
#define CloseHandle standin_CloseHandle
#define CreateEventA standin_CreateEventA
#define SetEvent standin_SetEvent
#define ResetEvent standin_ResetEvent
#define WaitForSingleObject standin_WaitForSingleObject
#define SetupDiGetClassDevsA standin_SetupDiGetClassDevsA
#define SetupDiEnumDeviceInterfaces standin_SetupDiEnumDeviceInterfaces
#define SetupDiGetDeviceInterfaceDetailA standin_SetupDiGetDeviceInterfaceDetailA
#define SetupDiDestroyDeviceInfoList standin_SetupDiDestroyDeviceInfoList

#define WINAPI_REDIRECT_SPELL_(text) #text
#define WINAPI_REDIRECT_SPELL(name) WINAPI_REDIRECT_SPELL_(name)
#define WINAPI_CHECK_BOUND(type, name, parameters)                                   \
    static_assert(std::string_view(WINAPI_REDIRECT_SPELL(name)) == "standin_" #name, \
                  #name " is not bound to the stand-in");
WINAPI_BOARD_KERNEL32_CALLS(WINAPI_CHECK_BOUND)
WINAPI_BOARD_SETUPAPI_CALLS(WINAPI_CHECK_BOUND)
