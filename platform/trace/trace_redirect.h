// Force-included (-include) into the system code's sources, before any other header: binds
// each board-facing call to its trace_ form (board_trace.h). In the Windows test build the
// stand-in's redirect comes first, so that the trace_ functions reach the stand-in.
#pragma once

#ifdef BOARD_TRACE_OVER_STANDIN
#include "winapi_redirect.h"
#endif
#include "board_trace.h"

#undef CreateFileA
#undef ReadFile
#undef WriteFile
#undef DeviceIoControl
#undef GetOverlappedResult
#undef CancelIo
#undef CancelIoEx
#undef CloseHandle
#undef SetupDiGetClassDevsA
#undef SetupDiEnumDeviceInterfaces
#undef SetupDiGetDeviceInterfaceDetailA
#undef SetupDiDestroyDeviceInfoList
#define CreateFileA trace_CreateFileA
#define ReadFile trace_ReadFile
#define WriteFile trace_WriteFile
#define DeviceIoControl trace_DeviceIoControl
#define GetOverlappedResult trace_GetOverlappedResult
#define CancelIo trace_CancelIo
#define CancelIoEx trace_CancelIoEx
#define CloseHandle trace_CloseHandle
#define SetupDiGetClassDevsA trace_SetupDiGetClassDevsA
#define SetupDiEnumDeviceInterfaces trace_SetupDiEnumDeviceInterfaces
#define SetupDiGetDeviceInterfaceDetailA trace_SetupDiGetDeviceInterfaceDetailA
#define SetupDiDestroyDeviceInfoList trace_SetupDiDestroyDeviceInfoList
