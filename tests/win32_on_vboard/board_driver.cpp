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

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "outside_window.h"

namespace {

// Generous: the machines are shared, and wine is not fast. Waits end as soon as they can.
constexpr DWORD kPatienceMs = 30000;

using outside::Report;
using outside::Send;
using outside::Text;
using outside::Utf8;

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs = kPatienceMs) {
    return outside::WaitFor(done, timeoutMs);
}

// "ID=TEXT" split at the first '='.
std::pair<int, std::wstring> IdAndText(const std::wstring& arg) {
    const size_t eq = arg.find(L'=');
    return {std::stoi(arg.substr(0, eq)), eq == std::wstring::npos ? L"" : arg.substr(eq + 1)};
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
    for (int id : outside::Ids(ids)) {
        const HWND h = GetDlgItem(dialog, id);
        const bool ok = h && WaitFor([&] { return (IsWindowEnabled(h) != FALSE) == enabled; });
        Report(ok, "%d becomes %s", id, enabled ? "enabled" : "disabled");
    }
}

// The texts of a message box's static controls (the icon's is empty).
std::vector<std::wstring> StaticTexts(HWND box) {
    std::vector<std::wstring> texts;
    for (HWND c : outside::Children(box))
        if (lstrcmpiW(outside::ClassName(c).c_str(), L"Static") == 0) texts.push_back(Text(c));
    return texts;
}

void MessageBoxStep(HWND dialog, const std::wstring& arg) {
    const size_t eq = arg.find(L'=');
    const std::wstring caption = arg.substr(0, eq);
    const std::wstring text = eq == std::wstring::npos ? L"" : arg.substr(eq + 1);
    HWND box = nullptr;
    WaitFor([&] {
        box = outside::FindDialog(caption);
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
    outside::SetSendLimit(kPatienceMs);
    WaitFor([&] { return (dialog = outside::FindDialog(title)) != nullptr; });
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
    std::printf("%d failed\n", outside::Failures());
    return outside::Failures();
}
