// Backend-neutral pieces: CString, message maps, the resource table, threads.
#include <afxwin.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

namespace {

// ---- CString --------------------------------------------------------------------

TEST(CStringTest, FormatInsertAndConcatenation) {
    CString s;
    s.Format("%02x %s %d", 0xAB, "ok", -7);
    EXPECT_STREQ(s, "ab ok -7");
    s.Format("%s", "");  // replaces, does not append
    EXPECT_TRUE(s.IsEmpty());

    CString t("bcd");
    EXPECT_EQ(t.Insert(0, "a"), 4);
    EXPECT_EQ(t.Insert(2, '-'), 5);
    EXPECT_STREQ(t, "ab-cd");
    t.Insert(99, "!");  // past the end appends
    t.Insert(-3, "<");  // before the start prepends
    EXPECT_STREQ(t, "<ab-cd!");

    CString u = CString("x") + "y" + 'z' + CString("w");
    u += "v";
    u += 'u';
    EXPECT_STREQ(u, "xyzwvu");
    EXPECT_STREQ("pre" + CString("fix"), "prefix");
}

TEST(CStringTest, LengthCountsGbkBytes) {
    // "中文" in GBK: two double-byte characters.
    const CString s(
        "\xD6\xD0\xCE\xC4"
        "ab");
    EXPECT_EQ(s.GetLength(), 6);
    // Trail bytes in the ASCII letter range stay as they are when case changes.
    CString mixed(
        "\x81\x61"
        "a");  // a lead byte followed by 'a' as trail byte, then a real 'a'
    mixed.MakeUpper();
    EXPECT_EQ(mixed, CString("\x81\x61"
                             "A"));
}

TEST(CStringTest, ComparisonAndSearch) {
    const CString a("abc"), b("abd");
    EXPECT_TRUE(a == "abc");
    EXPECT_TRUE("abc" == a);
    EXPECT_TRUE(a != b);
    EXPECT_TRUE(a < b);
    EXPECT_TRUE(b > "abc");
    EXPECT_EQ(CString("ABC").CompareNoCase("abc"), 0);
    EXPECT_EQ(a.Find('c'), 2);
    EXPECT_EQ(a.Find("bc"), 1);
    EXPECT_EQ(a.Find('z'), -1);
    EXPECT_STREQ(a.Left(2), "ab");
    EXPECT_STREQ(a.Mid(1), "bc");
    EXPECT_STREQ(a.Mid(1, 1), "b");
    EXPECT_STREQ(a.Right(5), "abc");
    CString r("a-b-c");
    EXPECT_EQ(r.Replace("-", "--"), 2);
    EXPECT_STREQ(r, "a--b--c");
    CString d("abcdef");
    d.Delete(1, 2);
    EXPECT_STREQ(d, "adef");
    CString w("  x \r\n");
    w.TrimLeft();
    EXPECT_STREQ(w, "x \r\n");  // each trim keeps the other end
    w.TrimRight();
    EXPECT_STREQ(w, "x");
    for (auto trim : {&CString::TrimLeft, &CString::TrimRight}) {
        CString blank(" \t\v\f\r\n"), empty, gbk("\t\xB2\xE2 ");  // "测" with trail byte 0xE2
        (blank.*trim)();
        (empty.*trim)();
        (gbk.*trim)();
        EXPECT_STREQ(blank, "");
        EXPECT_STREQ(empty, "");
        EXPECT_EQ(gbk.GetLength(), 3);
    }
}

TEST(CStringTest, RawBuffer) {
    CString s;
    char* p = s.GetBuffer(8);
    std::strcpy(p, "hello");
    s.ReleaseBuffer();
    EXPECT_EQ(s.GetLength(), 5);
    std::memcpy(s.GetBuffer(5), "HEL", 3);
    s.ReleaseBuffer(3);
    EXPECT_STREQ(s, "HEL");
}

// ---- message maps -------------------------------------------------------------------

class CBase : public CCmdTarget {
  public:
    int baseClicks = 0, overridden = 0;
    afx_msg void OnBase() { ++baseClicks; }
    afx_msg void OnShared() { ++overridden; }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CBase, CCmdTarget)
ON_BN_CLICKED(10, OnBase)
ON_BN_CLICKED(11, OnShared)
END_MESSAGE_MAP()

class CDerived : public CBase {
  public:
    int changes = 0, derivedShared = 0;
    LPARAM lastLParam = 0;
    afx_msg void OnChange() { ++changes; }
    afx_msg void OnShared() { ++derivedShared; }
    afx_msg LRESULT OnDevice(WPARAM w, LPARAM l) {
        lastLParam = l;
        return static_cast<LRESULT>(w) + 1;
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CDerived, CBase)
ON_EN_CHANGE(10, OnChange)
ON_BN_CLICKED(11, OnShared)
ON_BN_CLICKED(12, CBase::OnBase)
ON_MESSAGE(WM_DEVICECHANGE, OnDevice)
END_MESSAGE_MAP()

TEST(MessageMapTest, RoutesByMessageCodeAndIdThroughTheClassChain) {
    CDerived d;
    LRESULT r = 0;
    EXPECT_TRUE(d.DispatchMappedMessage(WM_COMMAND, MAKEWPARAM(10, BN_CLICKED), 0, &r));  // base entry
    EXPECT_TRUE(
        d.DispatchMappedMessage(WM_COMMAND, MAKEWPARAM(10, EN_CHANGE), 0, &r));  // same id, other code
    EXPECT_TRUE(d.DispatchMappedMessage(WM_COMMAND, MAKEWPARAM(11, BN_CLICKED), 0, &r));  // derived wins
    EXPECT_TRUE(d.DispatchMappedMessage(WM_COMMAND, MAKEWPARAM(12, BN_CLICKED), 0, &r));  // qualified handler
    EXPECT_FALSE(d.DispatchMappedMessage(WM_COMMAND, MAKEWPARAM(13, BN_CLICKED), 0, &r));
    EXPECT_FALSE(d.DispatchMappedMessage(WM_PAINT, 0, 0, &r));
    EXPECT_EQ(d.baseClicks, 2);
    EXPECT_EQ(d.changes, 1);
    EXPECT_EQ(d.derivedShared, 1);
    EXPECT_EQ(d.overridden, 0);

    EXPECT_TRUE(d.DispatchMappedMessage(WM_DEVICECHANGE, 6, 77, &r));
    EXPECT_EQ(r, 7);
    EXPECT_EQ(d.lastLParam, 77);
}

// ---- resources ------------------------------------------------------------------------

TEST(ResourceTest, RegistrationsAreScopedAndNewestWins) {
    static const afx::DialogTemplate first[] = {{.id = 7001, .caption = "first"}};
    static const afx::DialogTemplate second[] = {{.id = 7001, .caption = "second"}};
    EXPECT_EQ(afx::FindDialog(7001), nullptr);
    {
        afx::ResourceRegistration a({.dialogs = first});
        EXPECT_STREQ(afx::FindDialog(7001)->caption, "first");
        {
            afx::ResourceRegistration b({.dialogs = second});
            EXPECT_STREQ(afx::FindDialog(7001)->caption, "second");
        }
        EXPECT_STREQ(afx::FindDialog(7001)->caption, "first");
    }
    EXPECT_EQ(afx::FindDialog(7001), nullptr);
}

TEST(ResourceTest, ImageValidity) {
    static const std::uint32_t palette[] = {0, 0xFFFFFF};
    static const std::uint8_t pixels[] = {0, 1, 1, 0};
    static const std::uint8_t badPixels[] = {0, 1, 2, 0};
    EXPECT_TRUE(afx::IsValid({.width = 2, .height = 2, .palette = palette, .pixels = pixels}));
    EXPECT_FALSE(afx::IsValid({.width = 2, .height = 2, .palette = palette, .pixels = badPixels}));
    EXPECT_FALSE(afx::IsValid({.width = 3, .height = 2, .palette = palette, .pixels = pixels}));
    static const std::uint8_t shortMask[] = {0, 0, 1};
    EXPECT_FALSE(
        afx::IsValid({.width = 2, .height = 2, .palette = palette, .pixels = pixels, .mask = shortMask}));
}

// ---- threads ------------------------------------------------------------------------------

UINT AddOne(LPVOID p) {
    auto* n = static_cast<std::atomic<int>*>(p);
    return static_cast<UINT>(++*n) + 100;
}

TEST(ThreadTest, SuspendedThreadTakenOverStaysWaitable) {
    std::atomic<int> n{0};
    CWinThread* t = AfxBeginThread(AddOne, &n, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(t, nullptr);
    t->m_bAutoDelete = FALSE;
    EXPECT_EQ(WaitForSingleObject(t->m_hThread, 50), WAIT_TIMEOUT);  // held at the gate
    EXPECT_EQ(n.load(), 0);
    EXPECT_EQ(t->ResumeThread(), 1u);
    EXPECT_EQ(t->ResumeThread(), 0u);
    ASSERT_EQ(WaitForSingleObject(t->m_hThread, 10000), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(t->m_hThread, &code));
    EXPECT_EQ(code, 101u);
    EXPECT_EQ(n.load(), 1);
    delete t;
}

TEST(ThreadTest, AutoDeletingThreadsRunAndCleanUp) {
    std::atomic<int> n{0};
    for (int i = 0; i < 20; ++i) ASSERT_NE(AfxBeginThread(AddOne, &n), nullptr);
    // Off the window thread AfxWaitServingCalls is a plain wait: a handle that never signals times out.
    HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(AfxWaitServingCalls(never, 20), WAIT_TIMEOUT);
    CloseHandle(never);
    for (int i = 0; i < 1000 && n.load() < 20; ++i) Sleep(10);
    EXPECT_EQ(n.load(), 20);
    EXPECT_EQ(AfxBeginThread(nullptr, nullptr), nullptr);
}

}  // namespace
