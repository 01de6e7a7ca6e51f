// The board-facing Windows calls: the ones the stand-in serves. One list for both of its
// uses, so they cannot drift apart: the Linux <windows.h> and <setupapi.h> of this folder
// declare them, and the Windows test build's redirect (../win32/winapi_redirect.h) binds each
// of them to the stand-in's function of the same signature.
//
// X(return type, name, (parameters)) for each call; the parameter types are the SDK's.
#pragma once

#define WINAPI_BOARD_KERNEL32_CALLS(X)                                                                      \
    X(HANDLE, CreateFileA,                                                                                  \
      (LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,                                         \
       LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, \
       HANDLE hTemplateFile))                                                                               \
    X(BOOL, ReadFile,                                                                                       \
      (HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,              \
       LPOVERLAPPED lpOverlapped))                                                                          \
    X(BOOL, WriteFile,                                                                                      \
      (HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,         \
       LPOVERLAPPED lpOverlapped))                                                                          \
    X(BOOL, DeviceIoControl,                                                                                \
      (HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer, DWORD nInBufferSize, LPVOID lpOutBuffer,   \
       DWORD nOutBufferSize, LPDWORD lpBytesReturned, LPOVERLAPPED lpOverlapped))                           \
    X(BOOL, GetOverlappedResult,                                                                            \
      (HANDLE hFile, LPOVERLAPPED lpOverlapped, LPDWORD lpNumberOfBytesTransferred, BOOL bWait))            \
    X(BOOL, CancelIo, (HANDLE hFile))                                                                       \
    X(BOOL, CancelIoEx, (HANDLE hFile, LPOVERLAPPED lpOverlapped))                                          \
    X(BOOL, CloseHandle, (HANDLE hObject))                                                                  \
    X(HANDLE, CreateEventA,                                                                                 \
      (LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset, BOOL bInitialState, LPCSTR lpName))      \
    X(BOOL, SetEvent, (HANDLE hEvent))                                                                      \
    X(BOOL, ResetEvent, (HANDLE hEvent))                                                                    \
    X(DWORD, WaitForSingleObject, (HANDLE hHandle, DWORD dwMilliseconds))

#define WINAPI_BOARD_SETUPAPI_CALLS(X)                                                                    \
    X(HDEVINFO, SetupDiGetClassDevsA,                                                                     \
      (const GUID* ClassGuid, PCSTR Enumerator, HWND hwndParent, DWORD Flags))                            \
    X(BOOL, SetupDiEnumDeviceInterfaces,                                                                  \
      (HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, const GUID* InterfaceClassGuid,           \
       DWORD MemberIndex, PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData))                                 \
    X(BOOL, SetupDiGetDeviceInterfaceDetailA,                                                             \
      (HDEVINFO DeviceInfoSet, PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,                             \
       PSP_DEVICE_INTERFACE_DETAIL_DATA_A DeviceInterfaceDetailData, DWORD DeviceInterfaceDetailDataSize, \
       PDWORD RequiredSize, PSP_DEVINFO_DATA DeviceInfoData))                                             \
    X(BOOL, SetupDiDestroyDeviceInfoList, (HDEVINFO DeviceInfoSet))

// Declares one call of a list.
#define WINAPI_DECLARE_CALL(type, name, parameters) type WINAPI name parameters;
