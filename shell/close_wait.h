// The wait at the end of a close. By then the window has told its workers to stop and
// cancelled what they had pending; a driver that completes cancelled requests lets them end
// within milliseconds. The wait has a bound all the same, so that a driver that never
// completes a cancelled request cannot keep a process alive whose window is gone.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

// The most a close waits for all of a tool's workers together: Tesmor's wait for its poller
// has always been 500 ms, and Varnel's uses the same. A cancel that a driver honours takes a
// few milliseconds; one it has not honoured in half a second it is not going to honour.
constexpr DWORD kCloseWaitMs = 500;

// The exit status of a program whose close ran out of its bound: a worker's request was still
// in the driver, and the process was ended without its destructors. A normal end is 0.
constexpr UINT kCloseBoundExitCode = 3;

// How often the wait cancels again: a worker may issue a request just after a cancel (it
// checked for the close just before), and that request is cut short at the next one.
constexpr DWORD kRecancelMs = 10;

// A wait for any one of several threads, as WaitForMultipleObjects without bWaitAll:
// WaitForAnyThread, or AfxWaitServingCalls on the window's thread.
using ThreadWait = DWORD (*)(DWORD count, const HANDLE* threads, DWORD ms);
DWORD WaitForAnyThread(DWORD count, const HANDLE* threads, DWORD ms);

// Waits for every thread, up to boundMs for all of them together, calling cancelAgain every
// kRecancelMs meanwhile. Each wait is one call for all the threads still running, so a
// thread's end is taken as it comes. True when every thread has ended.
bool WaitForWorkersWithin(const std::vector<HANDLE>& threads, DWORD boundMs,
                          const std::function<void()>& cancelAgain, ThreadWait wait);
