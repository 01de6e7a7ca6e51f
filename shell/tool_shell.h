// What both tools share: start-up, the main dialog's common behaviour (icon, about box,
// minimised painting, re-detection after device changes) and the about dialog.
#pragma once

#include <afxwin.h>

#include <functional>
#include <vector>

// Resource numbers shared by both tools.
constexpr UINT IDD_ABOUTBOX = 100;
constexpr UINT IDD_MAIN = 102;
constexpr UINT IDR_MAINFRAME = 128;
constexpr UINT IDM_ABOUTBOX = 0x0010;

// Pause between a device-change notification and the detection it triggers.
constexpr DWORD SettleDelay = 200;

class CAboutDlg : public CDialog {
public:
    CAboutDlg() : CDialog(IDD_ABOUTBOX) {}
};

// Base of CVarnelDlg and CTesmorDlg: dialog 102 with icon 128. A tool supplies DetectBoard
// and, if it needs one, its own initialisation.
class CToolDlg : public CDialog {
public:
    explicit CToolDlg(CWnd* pParent = nullptr);

    // Finds the board, names it in the title and sets the tool's action buttons.
    virtual void DetectBoard() = 0;

protected:
    // Framework initialisation, icon 128 as big and small icon, InitTool(), DetectBoard().
    BOOL OnInitDialog() override;
    virtual void InitTool() {}

    afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
    afx_msg void OnPaint();
    afx_msg HCURSOR OnQueryDragIcon();
    // Sleeps SettleDelay, then detects; neither once a close has begun.
    afx_msg LRESULT OnDeviceChange(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

    // True from the start of the tool's close on.
    virtual bool Closing() const = 0;
    // The end of a close, once the tool has told its workers to stop and cancelled their
    // transfers: waits for the worker threads (serving their calls on the window) up to
    // kCloseWaitMs, cancelling again meanwhile. When one has not ended by then the program
    // ends at once with status kCloseBoundExitCode (AfxTerminateProcess) and this does not
    // return: the only safe way to let go of what a request still pending in the driver may
    // write to. It frees this process's memory and handles; it does not free the driver of
    // the request: on Windows the process object lives on, without a window or a thread that
    // runs, until the driver completes or drops the request.
    void FinishClose(const std::vector<HANDLE>& workers, const std::function<void()>& cancelAgain);

    HICON m_hIcon;
};

// Start-up of both programs: makes the dialog the main window, runs it modally and returns
// FALSE, so that the program ends without a message loop.
BOOL RunToolDialog(CWinApp& app, CDialog& dialog);
