#include "outside_window.h"

#include <cstdarg>
#include <cstdio>

namespace outside {
namespace {

int g_failures = 0;
DWORD g_sendLimitMs = 10000;

}  // namespace

void Report(bool ok, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::printf("%s ", ok ? "ok  " : "FAIL");
    std::vprintf(format, args);
    std::printf("\n");
    std::fflush(stdout);
    va_end(args);
    if (!ok) ++g_failures;
}

int Failures() { return g_failures; }

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (done()) return true;
        if (GetTickCount64() >= end) return false;
        Sleep(50);
    }
}

void SetSendLimit(DWORD ms) { g_sendLimitMs = ms; }

LRESULT Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_NORMAL, g_sendLimitMs, &result);
    return static_cast<LRESULT>(result);
}

std::wstring Text(HWND hwnd) {
    wchar_t buffer[2048] = {};
    Send(hwnd, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

std::wstring ClassName(HWND hwnd) {
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return name;
}

HWND FindDialog(const std::wstring& title) { return FindWindowW(L"#32770", title.c_str()); }

std::vector<HWND> Children(HWND hwnd) {
    std::vector<HWND> out;
    for (HWND c = GetWindow(hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) out.push_back(c);
    return out;
}

std::vector<int> Ids(const std::wstring& list) {
    std::vector<int> out;
    size_t pos = 0;
    while (pos < list.size()) {
        size_t end = list.find(L',', pos);
        if (end == std::wstring::npos) end = list.size();
        if (end > pos) out.push_back(std::stoi(list.substr(pos, end - pos)));
        pos = end + 1;
    }
    return out;
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

}  // namespace outside
