// Drives a running tool's main dialog from outside, as a person would, while the test script
// steers the virtual board behind it: finds the dialog by its title, fills in edits, clicks
// buttons, waits for texts and enabled states, reads and answers message boxes, compares the
// images of picture controls, sends a device change and closes the dialog. Steps run in the
// order given; each prints one line. Exits with the number of failed steps (100 and more when
// the dialog is not there).
//
//   board_driver --title TITLE STEP...
//     --set ID=TEXT            the control's text
//     --click ID               a button click; the button must be enabled
//     --wait-text ID=TEXT      until the control shows TEXT
//     --wait-title TITLE       until the dialog's title is TITLE
//     --wait-enabled IDS       until every control of IDS (1,2,...) is enabled
//     --wait-disabled IDS      until every control of IDS is disabled
//     --message-box CAPTION=TEXT  a message box with that caption shows TEXT; it is closed with OK
//     --images FIRST-LAST=ID   of the picture controls FIRST..LAST only ID shows another image
//                              than the rest ("none": all show the same)
//     --device-change          a device-change notification, as Windows sends it
//     --close-within MS        the close command; the dialog must be gone within MS ms
#include <windows.h>
// These need windows.h first.
#include <dbt.h>
#include <shellapi.h>

#include <cstdarg>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

// Generous: the machines are shared, and wine is not fast. Waits end as soon as they can.
constexpr DWORD kPatienceMs = 30000;

int g_failures = 0;

std::string Utf8(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? static_cast<size_t>(n) : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
    out.resize(out.size() - 1);
    return out;
}

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

// True once `done` holds, checked every 50 ms for up to timeoutMs.
bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs = kPatienceMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (done()) return true;
        if (GetTickCount64() >= end) return false;
        Sleep(50);
    }
}

// Messages to another process's window, never waiting on it for ever: a dialog busy with a
// modal loop of its own still answers them.
LRESULT Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_NORMAL, kPatienceMs, &result);
    return static_cast<LRESULT>(result);
}

std::wstring Text(HWND hwnd) {
    wchar_t buffer[2048] = {};
    Send(hwnd, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

HWND FindDialog(const std::wstring& title) { return FindWindowW(L"#32770", title.c_str()); }

// "ID=TEXT" split at the first '='.
std::pair<int, std::wstring> IdAndText(const std::wstring& arg) {
    const size_t eq = arg.find(L'=');
    return {std::stoi(arg.substr(0, eq)), eq == std::wstring::npos ? L"" : arg.substr(eq + 1)};
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

void Click(HWND dialog, int id) {
    const HWND button = GetDlgItem(dialog, id);
    // Wine clicks a disabled button as well; a person could not.
    const bool enabled = button && IsWindowEnabled(button);
    Report(enabled, "click %d (%s)", id, button ? (enabled ? "enabled" : "disabled") : "no such control");
    // Posted: the click may open a modal message box, which a sent message would wait for.
    if (enabled) PostMessageW(button, BM_CLICK, 0, 0);
}

void WaitEnabled(HWND dialog, const std::wstring& ids, bool enabled) {
    for (int id : Ids(ids)) {
        const HWND h = GetDlgItem(dialog, id);
        const bool ok = h && WaitFor([&] { return (IsWindowEnabled(h) != FALSE) == enabled; });
        Report(ok, "%d becomes %s", id, enabled ? "enabled" : "disabled");
    }
}

// The texts of a message box's static controls (the icon's is empty).
std::vector<std::wstring> StaticTexts(HWND box) {
    std::vector<std::wstring> texts;
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        wchar_t cls[32] = {};
        GetClassNameW(c, cls, 32);
        if (lstrcmpiW(cls, L"Static") == 0) texts.push_back(Text(c));
    }
    return texts;
}

void MessageBoxStep(HWND dialog, const std::wstring& arg) {
    const size_t eq = arg.find(L'=');
    const std::wstring caption = arg.substr(0, eq);
    const std::wstring text = eq == std::wstring::npos ? L"" : arg.substr(eq + 1);
    HWND box = nullptr;
    WaitFor([&] {
        box = FindWindowW(L"#32770", caption.c_str());
        return box != nullptr && box != dialog;
    });
    Report(box != nullptr, "message box \"%s\"", Utf8(caption).c_str());
    if (!box) return;
    std::wstring shown;
    for (const std::wstring& t : StaticTexts(box))
        if (!t.empty()) shown = t;
    Report(shown == text, "  it says \"%s\" (want \"%s\")", Utf8(shown).c_str(), Utf8(text).c_str());
    Report(GetWindow(box, GW_OWNER) == dialog, "  it belongs to the main dialog");
    Report(!IsWindowEnabled(dialog), "  the main dialog waits for it");
    PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    Report(WaitFor([&] { return !IsWindow(box); }), "  closed by OK");
}

// Picture controls FIRST..LAST: only `lit` (0: none) shows an image unlike the others.
void ImagesStep(HWND dialog, const std::wstring& arg) {
    const size_t dash = arg.find(L'-'), eq = arg.find(L'=');
    const int first = std::stoi(arg.substr(0, dash)), last = std::stoi(arg.substr(dash + 1, eq - dash - 1));
    const std::wstring which = arg.substr(eq + 1);
    const int lit = which == L"none" ? 0 : std::stoi(which);
    auto matches = [&] {
        std::vector<LRESULT> images;
        for (int id = first; id <= last; ++id)
            images.push_back(Send(GetDlgItem(dialog, id), STM_GETIMAGE, IMAGE_BITMAP, 0));
        LRESULT rest = 0;
        for (int id = first; id <= last; ++id) {
            const LRESULT image = images[id - first];
            if (image == 0) return false;
            if (id == lit) continue;
            if (rest == 0) rest = image;
            if (image != rest) return false;
        }
        return lit == 0 || images[lit - first] != rest;
    };
    Report(WaitFor(matches), "images of %d..%d: %s", first, last,
           lit ? ("only " + std::to_string(lit) + " differs").c_str() : "all alike");
}

void CloseStep(HWND dialog, DWORD limitMs) {
    const ULONGLONG start = GetTickCount64();
    PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    const bool gone = WaitFor([&] { return !IsWindow(dialog); }, limitMs);
    Report(gone, "dialog closed by the close command after %llu ms (limit %lu ms)",
           static_cast<unsigned long long>(GetTickCount64() - start), static_cast<unsigned long>(limitMs));
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc < 3 || std::wstring(argv[1]) != L"--title") {
        std::fprintf(stderr, "usage: board_driver --title TITLE STEP...\n");
        return 200;
    }
    const std::wstring title = argv[2];
    HWND dialog = nullptr;
    WaitFor([&] { return (dialog = FindDialog(title)) != nullptr; });
    Report(dialog != nullptr, "dialog with title \"%s\"", Utf8(title).c_str());
    if (!dialog) return 100;

    for (int i = 3; i < argc; ++i) {
        const std::wstring step = argv[i];
        const std::wstring arg = step != L"--device-change" && i + 1 < argc ? argv[++i] : L"";
        if (step == L"--set") {
            const auto [id, text] = IdAndText(arg);
            const HWND h = GetDlgItem(dialog, id);
            Report(h != nullptr, "set %d to \"%s\"", id, Utf8(text).c_str());
            if (h) Send(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        } else if (step == L"--click") {
            Click(dialog, std::stoi(arg));
        } else if (step == L"--wait-text") {
            const auto [id, text] = IdAndText(arg);
            const HWND h = GetDlgItem(dialog, id);
            const bool ok = h && WaitFor([&] { return Text(h) == text; });
            Report(ok, "%d reads \"%s\" (want \"%s\")", id, h ? Utf8(Text(h)).c_str() : "",
                   Utf8(text).c_str());
        } else if (step == L"--wait-title") {
            const bool ok = WaitFor([&] { return Text(dialog) == arg; });
            Report(ok, "title \"%s\" (want \"%s\")", Utf8(Text(dialog)).c_str(), Utf8(arg).c_str());
        } else if (step == L"--wait-enabled" || step == L"--wait-disabled") {
            WaitEnabled(dialog, arg, step == L"--wait-enabled");
        } else if (step == L"--message-box") {
            MessageBoxStep(dialog, arg);
        } else if (step == L"--images") {
            ImagesStep(dialog, arg);
        } else if (step == L"--device-change") {
            Send(dialog, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
            Report(true, "device change sent");
        } else if (step == L"--close-within") {
            CloseStep(dialog, static_cast<DWORD>(std::stoul(arg)));
        } else {
            Report(false, "unknown step %s", Utf8(step).c_str());
        }
    }
    std::printf("%d failed\n", g_failures);
    return g_failures;
}
