// The board-facing Windows calls: the ones the stand-in serves. One list for both of its
// uses, so they cannot drift apart: the Linux <windows.h> and <setupapi.h> of this folder
// declare them, and the Windows test build's redirect (../win32/winapi_redirect.h) binds each
// of them to the stand-in's function of the same signature.
//
// X(return type, name, (parameter types)) for each call, as the SDK declares it.
#pragma once

// The calls on the board's handles (the session trace, platform/trace, sees these and setupapi's).
#define WINAPI_BOARD_IO_CALLS(X)                                                                   \
    X(HANDLE, CreateFileA, (LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE))    \
    X(BOOL, ReadFile, (HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED))                              \
    X(BOOL, WriteFile, (HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED))                            \
    X(BOOL, DeviceIoControl, (HANDLE, DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD, LPOVERLAPPED)) \
    X(BOOL, GetOverlappedResult, (HANDLE, LPOVERLAPPED, LPDWORD, BOOL))                            \
    X(BOOL, CancelIo, (HANDLE))                                                                    \
    X(BOOL, CancelIoEx, (HANDLE, LPOVERLAPPED))                                                    \
    X(BOOL, CloseHandle, (HANDLE))

#define WINAPI_BOARD_KERNEL32_CALLS(X)                                   \
    WINAPI_BOARD_IO_CALLS(X)                                             \
    X(HANDLE, CreateEventA, (LPSECURITY_ATTRIBUTES, BOOL, BOOL, LPCSTR)) \
    X(BOOL, SetEvent, (HANDLE))                                          \
    X(BOOL, ResetEvent, (HANDLE))                                        \
    X(DWORD, WaitForSingleObject, (HANDLE, DWORD))

#define WINAPI_BOARD_SETUPAPI_CALLS(X)                                                         \
    X(HDEVINFO, SetupDiGetClassDevsA, (const GUID*, PCSTR, HWND, DWORD))                       \
    X(BOOL, SetupDiEnumDeviceInterfaces,                                                       \
      (HDEVINFO, PSP_DEVINFO_DATA, const GUID*, DWORD, PSP_DEVICE_INTERFACE_DATA))             \
    X(BOOL, SetupDiGetDeviceInterfaceDetailA,                                                  \
      (HDEVINFO, PSP_DEVICE_INTERFACE_DATA, PSP_DEVICE_INTERFACE_DETAIL_DATA_A, DWORD, PDWORD, \
       PSP_DEVINFO_DATA))                                                                      \
    X(BOOL, SetupDiDestroyDeviceInfoList, (HDEVINFO))

// Declares one call of a list.
#define WINAPI_DECLARE_CALL(type, name, parameters) type WINAPI name parameters;
