// A small dialog for the framework's tests, laid out like a tool's window:
// template 900, icon 128, bitmaps 129 and 130 (registered by test_dialog.cpp).
#pragma once

#include <afxwin.h>

#include <vector>

namespace afx_test {

enum : int {
    kTemplate = 900,
    kIcon = 128,
    kGreen = 129,
    kRed = 130,
    kDisplay = 1000,  // multi-line edit
    kStart = 1001,
    kLength = 1006,
    kClear = 1007,
    kRead = 1002,
    kLamp = 1010,
    kPrefixLabel = 1011,
    kNoTabButton = 1012,
};

// Palette colours of the bitmaps, for pixel checks.
constexpr std::uint32_t kGreenBall = 0x00C000, kRedBall = 0xE00000, kIconBlue = 0x0000FF;

}  // namespace afx_test

class CTestDlg : public CDialog {
  public:
    CTestDlg() : CDialog(afx_test::kTemplate) {}

    CString readText;
    int length = 1;
    int start = 0;

    int displayChanges = 0;  // EN_CHANGE of the multi-line edit
    int lengthChanges = 0;
    int readClicks = 0;
    int okCalls = 0;
    int cancelCalls = 0;
    int deviceChanges = 0;
    int paints = 0;
    std::vector<UINT> sysCommands;
    HICON icon = nullptr;

  protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    afx_msg void OnChangeDisplay();
    afx_msg void OnChangeLength();
    afx_msg void OnClear();
    afx_msg void OnRead();
    afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
    afx_msg BOOL OnDeviceChange(UINT nEventType, DWORD_PTR dwData);
    afx_msg HCURSOR OnQueryDragIcon();
    afx_msg void OnPaint();
    DECLARE_MESSAGE_MAP()
};
