// The Win32 backend in-process, under wine: dialogs from templates, GBK text at the
// boundary, data exchange with native notifications, worker calls as sent messages,
// the native dialog manager's keys, message boxes, images and painting.
// Compiled with GBK narrow strings, as the tools are; L"" literals are what Windows shows.
#include <afx_testing.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "dialog_template.h"
#include "resource_dialog.h"
#include "test_dialog.h"

using namespace afx_test;

namespace {

// The program's application object: the test dialog loads its icon through it.
CWinApp g_app;

// Runs the dialog; body runs inside its modal loop. The dialog ends with IDABORT unless
// body ended it.
template <typename F>
INT_PTR RunDialog(CTestDlg& dlg, F body) {
    afx::testing::OnNextDialogShown([&](CDialog&) {
        body();
        if (!dlg.okCalls && !dlg.cancelCalls) dlg.EndDialog(IDABORT);
    });
    return dlg.DoModal();
}

HWND Item(CTestDlg& dlg, int id) { return GetDlgItem(dlg.GetSafeHwnd(), id); }

std::wstring WideText(HWND hwnd) {
    wchar_t buffer[512] = {};
    GetWindowTextW(hwnd, buffer, 512);
    return buffer;
}

// The colour at (x, y) of a bitmap, as 0xRRGGBB.
std::uint32_t PixelOf(HBITMAP bitmap, int x, int y) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    const COLORREF c = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteDC(dc);
    return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

// Answers a message box from another thread, as a person would: finds it by caption,
// reads its text, presses a button.
struct BoxAnswer {
    std::wstring text;
    bool ownerDisabled = false;
};
std::thread AnswerBox(const wchar_t* caption, HWND owner, int button, BoxAnswer& seen) {
    return std::thread([=, &seen] {
        for (int i = 0; i < 600; ++i) {
            if (HWND box = FindWindowW(L"#32770", caption); box && GetWindow(box, GW_OWNER) == owner) {
                seen.text = WideText(GetDlgItem(box, 0xFFFF));
                seen.ownerDisabled = !IsWindowEnabled(owner);
                PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
                return;
            }
            Sleep(50);
        }
    });
}

TEST(Win32Dialog, BuiltFromTheTemplate) {
    CTestDlg dlg;
    RunDialog(dlg, [&] {
        const HWND h = dlg.GetSafeHwnd();
        EXPECT_EQ(WideText(h), L"     测试");
        const DWORD style = static_cast<DWORD>(GetWindowLongW(h, GWL_STYLE));
        EXPECT_EQ(style & (WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_MINIMIZEBOX),
                  static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME));
        EXPECT_TRUE(GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_APPWINDOW);

        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0)), sizeof font, &font);
        EXPECT_STREQ(font.lfFaceName, L"宋体");

        RECT client{}, want{0, 0, 255, 289};
        GetClientRect(h, &client);
        MapDialogRect(h, &want);
        EXPECT_TRUE(EqualRect(&client, &want));

        const afx::DialogTemplate* t = afx::FindDialog(kTemplate);
        HWND child = GetWindow(h, GW_CHILD);
        for (const afx::ControlTemplate& c : t->controls) {
            ASSERT_TRUE(child);
            EXPECT_EQ(static_cast<short>(GetDlgCtrlID(child)), static_cast<short>(c.id));
            RECT r{};
            GetWindowRect(child, &r);
            MapWindowPoints(nullptr, h, reinterpret_cast<POINT*>(&r), 2);
            RECT du{c.x, c.y, c.cx, c.cy};  // position and size, each converted on its own
            MapDialogRect(h, &du);
            EXPECT_EQ(r.left, du.left) << c.id;
            EXPECT_EQ(r.top, du.top) << c.id;
            if ((c.style & SS_TYPEMASK) != SS_ICON && (c.style & SS_TYPEMASK) != SS_BITMAP) {
                EXPECT_EQ(r.right - r.left, du.right) << c.id;
                EXPECT_EQ(r.bottom - r.top, du.bottom) << c.id;
            }
            child = GetWindow(child, GW_HWNDNEXT);
        }
        EXPECT_EQ(WideText(Item(dlg, kRead)), L"读取数据");
        EXPECT_EQ(GetFocus(), Item(dlg, kDisplay));  // the first tab stop
        // Tab stops in template order; the button without WS_TABSTOP is skipped.
        EXPECT_EQ(GetNextDlgTabItem(h, Item(dlg, kLength), FALSE), Item(dlg, kClear));
        EXPECT_EQ(GetNextDlgTabItem(h, Item(dlg, kRead), FALSE), Item(dlg, kDisplay));
    });
}

// The test program carries dialog 901 as a resource written by tools/win32res, as the tools
// carry theirs: it must be byte for byte the template the backend builds in memory, in
// language 0x0804, and the dialog shown must come from it.
TEST(Win32Dialog, ResourceIsTheTemplateInChinese) {
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC found = FindResourceExW(module, reinterpret_cast<LPCWSTR>(RT_DIALOG),
                                        MAKEINTRESOURCEW(resource_test::kDialog),
                                        MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED));
    ASSERT_TRUE(found) << "dialog " << resource_test::kDialog << " in language 0x0804";
    const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    ASSERT_TRUE(data);
    const std::vector<BYTE> resource(data, data + SizeofResource(module, found));

    const std::vector<WORD> words = afx::win32::BuildDialogTemplate(*afx::FindDialog(resource_test::kDialog));
    const auto* first = reinterpret_cast<const BYTE*>(words.data());
    const std::vector<BYTE> built(first, first + words.size() * sizeof(WORD));
    // The same bytes; only the padding after the last control may differ.
    const size_t common = std::min(resource.size(), built.size());
    for (size_t i = 0; i < common; ++i) ASSERT_EQ(resource[i], built[i]) << "byte " << i;
    const std::vector<BYTE>& longer = resource.size() > built.size() ? resource : built;
    EXPECT_LT(longer.size() - common, 4u);
    for (size_t i = common; i < longer.size(); ++i) EXPECT_EQ(longer[i], 0) << "byte " << i;
}

TEST(Win32Dialog, ShownFromItsResource) {
    // A plain dialog of that number: what it shows is the resource's text, escapes and all.
    CDialog dlg(resource_test::kDialog);
    std::wstring caption, quoted;
    afx::testing::OnNextDialogShown([&](CDialog&) {
        caption = WideText(dlg.GetSafeHwnd());
        quoted = WideText(GetDlgItem(dlg.GetSafeHwnd(), resource_test::kQuoted));
        dlg.EndDialog(IDOK);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(caption, L"资源 \"901\"");
    EXPECT_EQ(quoted, L"\"引号\" 与 \\ 反斜杠\n第二行 淺抃");
}

TEST(Win32Dialog, TextIsGbkOnTheProgramSideAndUnicodeOnScreen) {
    CTestDlg dlg;
    RunDialog(dlg, [&] {
        CWnd* start = dlg.GetDlgItem(kStart);
        start->SetWindowText("起始 12");
        EXPECT_EQ(WideText(Item(dlg, kStart)), L"起始 12");
        EXPECT_EQ(start->GetWindowTextLength(), 7);  // bytes: two per Chinese character

        SetWindowTextW(Item(dlg, kStart), L"长度\x0E01");  // a Thai letter GBK lacks
        CString text;
        start->GetWindowText(text);
        EXPECT_EQ(text, CString("长度?"));

        // The program's own text messages carry GBK, also to the dialog.
        char buffer[32] = {};
        EXPECT_EQ(start->SendMessage(WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer)), 5);
        EXPECT_STREQ(buffer, "长度?");
        dlg.SendMessage(WM_SETTEXT, 0, reinterpret_cast<LPARAM>("标题"));
        EXPECT_EQ(WideText(dlg.GetSafeHwnd()), L"标题");
        EXPECT_EQ(dlg.SendMessage(WM_GETTEXTLENGTH), 4);

        // Multi-line edits keep "\r\n" line ends.
        dlg.GetDlgItem(kDisplay)->SetWindowText("01 02\r\n03");
        EXPECT_EQ(SendMessageW(Item(dlg, kDisplay), EM_GETLINECOUNT, 0, 0), 2);
    });
}

TEST(Win32Dialog, ChangeHandlerPushesWithoutNotifyingItself) {
    CTestDlg dlg;
    RunDialog(dlg, [&] {
        SetWindowTextW(Item(dlg, kLength), L"100");  // as typing does: EN_CHANGE reaches the map
        EXPECT_EQ(dlg.lengthChanges, 1);
        EXPECT_EQ(dlg.length, 64);
        EXPECT_EQ(WideText(Item(dlg, kLength)), L"64");

        SetWindowTextW(Item(dlg, kLength), L"");  // no number: the field keeps what was typed
        EXPECT_EQ(dlg.lengthChanges, 2);
        EXPECT_EQ(WideText(Item(dlg, kLength)), L"");
    });
}

TEST(Win32Dialog, WorkerCallsRunOnTheWindowThreadWhileItWaits) {
    CTestDlg dlg;
    RunDialog(dlg, [&] {
        struct Job {
            CTestDlg* dlg;
            DWORD callerThread = 0;
            CString readBack;
            BOOL wasDisabled = FALSE, enabledAfter = TRUE;
        } job{&dlg};
        CWinThread* worker = AfxBeginThread(
            [](LPVOID p) -> UINT {
                auto* j = static_cast<Job*>(p);
                j->callerThread = GetCurrentThreadId();
                CWnd* start = j->dlg->GetDlgItem(kStart);
                start->SetWindowText("42");
                start->GetWindowText(j->readBack);
                CWnd* read = j->dlg->GetDlgItem(kRead);
                read->EnableWindow(FALSE);
                j->wasDisabled = read->EnableWindow(FALSE);
                j->enabledAfter = read->IsWindowEnabled();
                return 0;
            },
            &job, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
        ASSERT_TRUE(worker);
        worker->m_bAutoDelete = FALSE;
        worker->ResumeThread();
        EXPECT_EQ(AfxWaitServingCalls(worker->m_hThread, INFINITE), WAIT_OBJECT_0);
        delete worker;
        EXPECT_NE(job.callerThread, GetCurrentThreadId());
        EXPECT_EQ(job.readBack, CString("42"));
        EXPECT_EQ(WideText(Item(dlg, kStart)), L"42");
        EXPECT_TRUE(job.wasDisabled);
        EXPECT_FALSE(job.enabledAfter);
        EXPECT_FALSE(IsWindowEnabled(Item(dlg, kRead)));
    });
}

TEST(Win32Dialog, CallsOnAnEndedDialogReturnAtOnce) {
    CTestDlg dlg;
    std::atomic<bool> calling{false};
    std::atomic<int> result{-1};
    std::thread worker;
    RunDialog(dlg, [&] {
        // A worker that calls in a loop while the window's thread ends the dialog
        // without serving it: its pending call must be answered when the window goes.
        worker = std::thread([&] {
            CWnd* start = dlg.GetDlgItem(kStart);
            calling = true;
            while (IsWindow(start->GetSafeHwnd())) start->SetWindowText("x");
            result = dlg.MessageBox("不会显示", nullptr, MB_OK);
        });
        while (!calling) Sleep(1);
        Sleep(50);
        dlg.EndDialog(IDCANCEL);
    });
    worker.join();  // hangs here if a call were left waiting
    EXPECT_EQ(result, 0);
    CString text = "unchanged";
    dlg.GetDlgItem(kStart)->GetWindowText(text);
    EXPECT_EQ(text, CString(""));
    EXPECT_EQ(dlg.SendMessage(WM_GETTEXTLENGTH), 0);
}

TEST(Win32Dialog, ForeignWindowCallMessagesAreIgnored) {
    CTestDlg dlg;
    RunDialog(dlg, [&] {
        // What another process could send: the call message with a pointer of its own.
        const UINT call = RegisterWindowMessageW(L"afx.window-call");
        EXPECT_EQ(SendMessageW(dlg.GetSafeHwnd(), call, 0, 0x1234), 0);
        EXPECT_EQ(SendMessageW(dlg.GetSafeHwnd(), call, 0, reinterpret_cast<LPARAM>(&dlg)), 0);
        dlg.GetDlgItem(kStart)->SetWindowText("ok");  // real calls still work
        EXPECT_EQ(WideText(Item(dlg, kStart)), L"ok");
    });
}

TEST(Win32Dialog, MessageBoxIsModalToTheDialogAndShowsGbkText) {
    CTestDlg dlg;
    RunDialog(dlg, [&] {
        BoxAnswer seen;
        std::thread answer = AnswerBox(L"错误", dlg.GetSafeHwnd(), IDCANCEL, seen);
        const int r =
            dlg.MessageBox("所要读取的数据超过E2PROM地址区间，溢出。", nullptr, MB_OKCANCEL | MB_ICONERROR);
        answer.join();
        EXPECT_EQ(r, IDCANCEL);
        EXPECT_EQ(seen.text, L"所要读取的数据超过E2PROM地址区间，溢出。");
        EXPECT_TRUE(seen.ownerDisabled);
        EXPECT_TRUE(IsWindowEnabled(dlg.GetSafeHwnd()));
    });
}

TEST(Win32Dialog, WorkerMessageBoxWaitsForTheAnswer) {
    CTestDlg dlg;
    RunDialog(dlg, [&] {
        struct Job {
            CTestDlg* dlg;
            int answer = 0;
        } job{&dlg};
        BoxAnswer seen;
        std::thread answer = AnswerBox(L"Test Error", dlg.GetSafeHwnd(), IDOK, seen);
        CWinThread* worker = AfxBeginThread(
            [](LPVOID p) -> UINT {
                auto* j = static_cast<Job*>(p);
                j->answer =
                    j->dlg->MessageBox("Data transfer on PIPE02 failed! Aborted.", "Test Error", MB_OK);
                return 0;
            },
            &job, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
        worker->m_bAutoDelete = FALSE;
        worker->ResumeThread();
        EXPECT_EQ(AfxWaitServingCalls(worker->m_hThread, INFINITE), WAIT_OBJECT_0);
        delete worker;
        answer.join();
        EXPECT_EQ(job.answer, IDOK);
        EXPECT_EQ(seen.text, L"Data transfer on PIPE02 failed! Aborted.");
    });
}

TEST(Win32Dialog, EnterAndEscapeGoThroughTheDialogManager) {
    {
        CTestDlg dlg;
        const INT_PTR r = RunDialog(dlg, [&] {
            // Tab to a button (the dialog manager makes it the default), Enter presses it.
            SendMessageW(dlg.GetSafeHwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(dlg, kRead)), TRUE);
            PostMessageW(Item(dlg, kRead), WM_KEYDOWN, VK_RETURN, 0);
            EXPECT_TRUE(afx::testing::ServeEventsUntil([&] { return dlg.readClicks == 1; }, 10000));
            // In an edit, with no default button in the template: IDOK.
            SendMessageW(dlg.GetSafeHwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(dlg, kLength)),
                         TRUE);
            PostMessageW(Item(dlg, kLength), WM_KEYDOWN, VK_RETURN, 0);
            EXPECT_TRUE(afx::testing::ServeEventsUntil([&] { return dlg.okCalls == 1; }, 10000));
        });
        EXPECT_EQ(r, IDOK);
        EXPECT_EQ(dlg.readClicks, 1);
    }
    {
        CTestDlg dlg;
        const INT_PTR r = RunDialog(dlg, [&] {
            PostMessageW(Item(dlg, kStart), WM_KEYDOWN, VK_ESCAPE, 0);
            EXPECT_TRUE(afx::testing::ServeEventsUntil([&] { return dlg.cancelCalls == 1; }, 10000));
        });
        EXPECT_EQ(r, IDCANCEL);
    }
}

TEST(Win32Dialog, SystemCommandsReachTheMap) {
    CTestDlg dlg;
    const INT_PTR r = RunDialog(dlg, [&] {
        SendMessageW(dlg.GetSafeHwnd(), WM_SYSCOMMAND, 0x0010, 0);  // handled, nothing else
        EXPECT_EQ(dlg.cancelCalls, 0);
        SendMessageW(dlg.GetSafeHwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);  // the close box
        EXPECT_TRUE(afx::testing::ServeEventsUntil([&] { return dlg.cancelCalls == 1; }, 10000));
    });
    EXPECT_EQ(r, IDCANCEL);
    ASSERT_EQ(dlg.sysCommands.size(), 2u);
    EXPECT_EQ(dlg.sysCommands[0], 0x0010u);
    EXPECT_EQ(dlg.sysCommands[1] & 0xFFF0, static_cast<UINT>(SC_CLOSE));
}

TEST(Win32Dialog, DeviceChangesReachTheMap) {
    CTestDlg dlg;
    RunDialog(dlg, [&] {
        afx::testing::SimulateDeviceChange();
        EXPECT_TRUE(afx::testing::ServeEventsUntil([&] { return dlg.deviceChanges == 1; }, 10000));
        SendMessageW(dlg.GetSafeHwnd(), WM_DEVICECHANGE, 0x0007, 0);  // as Windows broadcasts it
        EXPECT_EQ(dlg.deviceChanges, 2);
    });
}

TEST(Win32Dialog, ImagesComeFromTheRegisteredTables) {
    CTestDlg dlg;
    RunDialog(dlg, [&] {
        const HWND lamp = Item(dlg, kLamp);
        RECT r{};
        GetClientRect(lamp, &r);
        EXPECT_EQ(r.right, 15);  // a bitmap static takes its bitmap's size
        EXPECT_EQ(r.bottom, 15);
        auto shown = reinterpret_cast<HBITMAP>(SendMessageW(lamp, STM_GETIMAGE, IMAGE_BITMAP, 0));
        ASSERT_TRUE(shown);
        EXPECT_EQ(PixelOf(shown, 7, 7), kGreenBall);
        EXPECT_EQ(PixelOf(shown, 0, 0), 0xD4D0C8u);

        CBitmap red;
        ASSERT_TRUE(red.LoadBitmap(kRed));
        const LRESULT previous = dlg.GetDlgItem(kLamp)->SendMessage(
            STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(red.GetSafeHandle()));
        EXPECT_EQ(reinterpret_cast<HBITMAP>(previous), shown);
        EXPECT_EQ(PixelOf(reinterpret_cast<HBITMAP>(SendMessageW(lamp, STM_GETIMAGE, IMAGE_BITMAP, 0)), 7, 7),
                  kRedBall);
        dlg.GetDlgItem(kLamp)->SendMessage(STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(shown));

        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(dlg.icon, &info));
        BITMAP bm{};
        GetObjectW(info.hbmColor, sizeof bm, &bm);
        EXPECT_EQ(bm.bmWidth, 32);
        EXPECT_EQ(PixelOf(info.hbmColor, 16, 16), kIconBlue);
        EXPECT_EQ(PixelOf(info.hbmMask, 0, 0), 0xFFFFFFu);  // transparent corner
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(dlg.GetSafeHwnd(), WM_GETICON, ICON_BIG, 0)),
                  dlg.icon);
    });
}

TEST(Win32Dialog, PaintHandlerDrawsThroughItsPaintContext) {
    CTestDlg dlg;
    RunDialog(dlg, [&] {
        const HWND h = dlg.GetSafeHwnd();
        const int before = dlg.paints;
        RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        EXPECT_GT(dlg.paints, before);
        HDC dc = GetDC(h);
        const COLORREF c = GetPixel(dc, 16, 16);  // the middle of the icon drawn at (0, 0)
        ReleaseDC(h, dc);
        EXPECT_EQ(c, RGB(0, 0, 255));
        CPaintDC outside(&dlg);  // no paint under way: no context
        EXPECT_EQ(outside.GetSafeHdc(), nullptr);
    });
}

}  // namespace
