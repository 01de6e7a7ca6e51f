#include "tool_shell.h"

#include "close_wait.h"

CToolDlg::CToolDlg(CWnd* pParent) : CDialog(IDD_MAIN, pParent) {
    m_hIcon = ::LoadIcon(AfxGetInstanceHandle(), MAKEINTRESOURCE(IDR_MAINFRAME));
}

BEGIN_MESSAGE_MAP(CToolDlg, CDialog)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_MESSAGE(WM_DEVICECHANGE, OnDeviceChange)
END_MESSAGE_MAP()

BOOL CToolDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);
    InitTool();
    DetectBoard();
    return TRUE;
}

void CToolDlg::OnSysCommand(UINT nID, LPARAM lParam) {
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal();
    } else {
        CDialog::OnSysCommand(nID, lParam);
    }
}

void CToolDlg::OnPaint() {
    if (IsIconic()) {
        CPaintDC dc(this);
        SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
        const int cxIcon = GetSystemMetrics(SM_CXICON);
        const int cyIcon = GetSystemMetrics(SM_CYICON);
        CRect rect;
        GetClientRect(&rect);
        const int x = (rect.Width() - cxIcon + 1) / 2;
        const int y = (rect.Height() - cyIcon + 1) / 2;
        dc.DrawIcon(x, y, m_hIcon);
    } else {
        CDialog::OnPaint();
    }
}

HCURSOR CToolDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }

LRESULT CToolDlg::OnDeviceChange(WPARAM, LPARAM) {
    // A close waiting for its workers serves the window's sent messages (as on Windows): a
    // device change then must not hold up the close with a detection nobody will see.
    if (Closing()) return 0;
    Sleep(SettleDelay);
    DetectBoard();
    return 0;
}

void CToolDlg::FinishClose(const std::vector<HANDLE>& workers, const std::function<void()>& cancelAgain) {
    if (!WaitForWorkersWithin(workers, kCloseWaitMs, cancelAgain, AfxWaitServingCalls))
        AfxTerminateProcess(kCloseBoundExitCode);
}

BOOL RunToolDialog(CWinApp& app, CDialog& dialog) {
    AfxEnableControlContainer();
    app.Enable3dControls();
    app.m_pMainWnd = &dialog;
    dialog.DoModal();
    return FALSE;
}
