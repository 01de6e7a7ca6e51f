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

extern "C" {
HANDLE WINAPI standin_CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                  LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                                  DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
BOOL WINAPI standin_ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                             LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped);
BOOL WINAPI standin_WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                              LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped);
BOOL WINAPI standin_DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer,
                                    DWORD nInBufferSize, LPVOID lpOutBuffer, DWORD nOutBufferSize,
                                    LPDWORD lpBytesReturned, LPOVERLAPPED lpOverlapped);
BOOL WINAPI standin_GetOverlappedResult(HANDLE hFile, LPOVERLAPPED lpOverlapped,
                                        LPDWORD lpNumberOfBytesTransferred, BOOL bWait);
BOOL WINAPI standin_CancelIo(HANDLE hFile);
BOOL WINAPI standin_CancelIoEx(HANDLE hFile, LPOVERLAPPED lpOverlapped);
BOOL WINAPI standin_CloseHandle(HANDLE hObject);
HANDLE WINAPI standin_CreateEventA(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset,
                                   BOOL bInitialState, LPCSTR lpName);
BOOL WINAPI standin_SetEvent(HANDLE hEvent);
BOOL WINAPI standin_ResetEvent(HANDLE hEvent);
DWORD WINAPI standin_WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);

HDEVINFO WINAPI standin_SetupDiGetClassDevsA(const GUID* ClassGuid, PCSTR Enumerator, HWND hwndParent,
                                             DWORD Flags);
BOOL WINAPI standin_SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                                const GUID* InterfaceClassGuid, DWORD MemberIndex,
                                                PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData);
BOOL WINAPI standin_SetupDiGetDeviceInterfaceDetailA(
    HDEVINFO DeviceInfoSet, PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
    PSP_DEVICE_INTERFACE_DETAIL_DATA_A DeviceInterfaceDetailData, DWORD DeviceInterfaceDetailDataSize,
    PDWORD RequiredSize, PSP_DEVINFO_DATA DeviceInfoData);
BOOL WINAPI standin_SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet);
}

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
