// Looking at another program's windows from outside, for the small Win32 programs of the
// wine checks: one line per check, messages that never wait for ever, a dialog's controls
// and their texts.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace outside {

// Prints "ok   ..." or "FAIL ..." (printf format) and counts the failures.
void Report(bool ok, const char* format, ...);
int Failures();

// True once `done` holds, checked every 50 ms for up to timeoutMs.
bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs);

// A message to another process's window, given up after the limit (10 s unless set): a
// dialog busy with a modal loop of its own still answers it.
void SetSendLimit(DWORD ms);
LRESULT Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

std::wstring Text(HWND hwnd);
std::wstring ClassName(HWND hwnd);
// A top-level dialog of that title, or nullptr.
HWND FindDialog(const std::wstring& title);
// The window's child windows, in their order (the tab order of a dialog's controls).
std::vector<HWND> Children(HWND hwnd);

// "1,2,3" as numbers, in the order given.
std::vector<int> Ids(const std::wstring& list);
std::string Utf8(const std::wstring& text);

}  // namespace outside
