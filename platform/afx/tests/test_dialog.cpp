// Compiled with GBK as the execution character set, as the tools are.
#include "test_dialog.h"

#include <array>

using namespace afx_test;

namespace {

// A filled disc on a background: index 1 inside, 0 outside.
template <int N>
constexpr std::array<std::uint8_t, N * N> Disc(int radius) {
    std::array<std::uint8_t, N * N> out{};
    const int c2 = N - 1;  // centre doubled, so odd and even sizes are exact
    for (int y = 0; y < N; ++y)
        for (int x = 0; x < N; ++x) {
            const int dx = 2 * x - c2, dy = 2 * y - c2;
            out[static_cast<size_t>(y * N + x)] = dx * dx + dy * dy <= 4 * radius * radius ? 1 : 0;
        }
    return out;
}

constexpr auto kBall = Disc<15>(6);
constexpr auto kIcon32 = Disc<32>(14);
constexpr auto kIcon16 = Disc<16>(7);
constexpr std::array<std::uint8_t, 32 * 32> kIcon32Mask = [] {
    std::array<std::uint8_t, 32 * 32> m{};
    for (size_t i = 0; i < m.size(); ++i) m[i] = kIcon32[i] ? 0 : 1;  // transparent outside the disc
    return m;
}();

const std::uint32_t kGreenPalette[] = {0xD4D0C8, kGreenBall};
const std::uint32_t kRedPalette[] = {0xE0E0E0, kRedBall};
const std::uint32_t kIconPalette[16] = {0x000000, kIconBlue};

const afx::Image kIconImages[] = {
    {.width = 32,
     .height = 32,
     .bitsPerPixel = 4,
     .palette = kIconPalette,
     .pixels = kIcon32,
     .mask = kIcon32Mask},
    {.width = 16, .height = 16, .bitsPerPixel = 4, .palette = kIconPalette, .pixels = kIcon16},
};
const afx::IconResource kIcons[] = {{.id = kIcon, .images = kIconImages}};
const afx::BitmapResource kBitmaps[] = {
    {.id = kGreen, .image = {.width = 15, .height = 15, .palette = kGreenPalette, .pixels = kBall}},
    {.id = kRed, .image = {.width = 15, .height = 15, .palette = kRedPalette, .pixels = kBall}},
};

const afx::ControlTemplate kControls[] = {
    afx::GroupBox(" 读取E2PROM ", IDC_STATIC, 17, 31, 218, 106),
    afx::LText("00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F", IDC_STATIC, 25, 42, 189, 8),
    afx::EditText(kDisplay, 23, 52, 205, 49, ES_MULTILINE | WS_VSCROLL),
    afx::LText("起始地址：", IDC_STATIC, 26, 108, 41, 8),
    afx::EditText(kStart, 68, 105, 33, 12, ES_AUTOHSCROLL),
    afx::LText("长度：", IDC_STATIC, 42, 122, 24, 8),
    afx::EditText(kLength, 68, 121, 33, 12, ES_AUTOHSCROLL),
    afx::PushButton("清空", kClear, 122, 112, 34, 13),
    afx::PushButton("读取数据", kRead, 175, 112, 45, 13),
    afx::Control("", IDC_STATIC, afx::ControlClass::Static, SS_GRAYRECT, 0, 241, 255, 1),
    afx::Bitmap(kGreen, kLamp, 26, 150, 10, 10),
    afx::Icon(kIcon, IDC_STATIC, 11, 17, 20, 20),
    afx::LText("&Prefix && more", kPrefixLabel, 40, 200, 100, 8),
    afx::Control("No tab", kNoTabButton, afx::ControlClass::Button, BS_PUSHBUTTON, 40, 215, 50, 14),
};

const afx::DialogTemplate kDialogs[] = {{
    .id = kTemplate,
    .caption = "     测试",
    .style = DS_MODALFRAME | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU,
    .exStyle = WS_EX_APPWINDOW,
    .cx = 255,
    .cy = 289,
    .controls = kControls,
}};

const afx::ResourceRegistration kResources{{.dialogs = kDialogs, .icons = kIcons, .bitmaps = kBitmaps}};

}  // namespace

BEGIN_MESSAGE_MAP(CTestDlg, CDialog)
ON_EN_CHANGE(kDisplay, OnChangeDisplay)
ON_EN_CHANGE(kLength, OnChangeLength)
ON_BN_CLICKED(kClear, OnClear)
ON_BN_CLICKED(kRead, OnRead)
ON_WM_SYSCOMMAND()
ON_WM_DEVICECHANGE()
ON_WM_QUERYDRAGICON()
ON_WM_PAINT()
END_MESSAGE_MAP()

void CTestDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, kDisplay, readText);
    DDX_Text(pDX, kLength, length);
    DDX_Text(pDX, kStart, start);
}

BOOL CTestDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    icon = AfxGetApp() ? AfxGetApp()->LoadIcon(kIcon) : ::LoadIcon(AfxGetInstanceHandle(), MAKEINTRESOURCE(kIcon));
    SetIcon(icon, TRUE);
    SetIcon(icon, FALSE);
    return TRUE;
}

void CTestDlg::OnOK() {
    ++okCalls;
    CDialog::OnOK();
}

void CTestDlg::OnCancel() {
    ++cancelCalls;
    CDialog::OnCancel();
}

void CTestDlg::OnChangeDisplay() { ++displayChanges; }

// As a tool's numeric field does: pull, clamp, push on every change.
void CTestDlg::OnChangeLength() {
    ++lengthChanges;
    UpdateData(TRUE);
    if (length <= 0) length = 1;
    if (length > 64) length = 64;
    UpdateData(FALSE);
}

void CTestDlg::OnClear() {
    UpdateData(TRUE);
    readText = "";
    UpdateData(FALSE);
}

void CTestDlg::OnRead() { ++readClicks; }

void CTestDlg::OnSysCommand(UINT nID, LPARAM lParam) {
    sysCommands.push_back(nID);
    if ((nID & 0xFFF0) != 0x0010) CDialog::OnSysCommand(nID, lParam);
}

BOOL CTestDlg::OnDeviceChange(UINT, DWORD_PTR) {
    ++deviceChanges;
    return TRUE;
}

HCURSOR CTestDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(icon); }

void CTestDlg::OnPaint() {
    ++paints;
    CPaintDC dc(this);
    dc.DrawIcon(0, 0, icon);  // top-left corner, so a test can look for it
}
