// CWnd: window operations, carried over to the window's thread.
#include <afx_app.h>
#include <afx_wnd.h>

#include <algorithm>
#include <cstring>

#include "backend.h"

namespace be = afx::backend;

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

CWnd::CWnd() = default;
CWnd::~CWnd() = default;

CWnd* CWnd::GetDlgItem(int nID) const {
    auto it = children_.find(nID);
    return it == children_.end() ? nullptr : it->second.get();
}

BOOL CWnd::EnableWindow(BOOL bEnable) {
    bool wasDisabled = false;
    be::CallOnWindowThread(GetSafeHwnd(), [&] { wasDisabled = be::Enable(GetSafeHwnd(), bEnable != FALSE); });
    return wasDisabled ? TRUE : FALSE;
}

BOOL CWnd::IsWindowEnabled() const {
    bool enabled = false;
    be::CallOnWindowThread(GetSafeHwnd(), [&] { enabled = be::IsEnabled(GetSafeHwnd()); });
    return enabled ? TRUE : FALSE;
}

void CWnd::SetWindowText(LPCSTR lpszString) {
    const CString text(lpszString);
    be::CallOnWindowThread(GetSafeHwnd(), [&] { be::SetText(GetSafeHwnd(), text); });
}

void CWnd::GetWindowText(CString& rString) const {
    CString text;
    be::CallOnWindowThread(GetSafeHwnd(), [&] { text = be::GetText(GetSafeHwnd()); });
    rString = text;
}

int CWnd::GetWindowText(LPSTR lpszStringBuf, int nMaxCount) const {
    if (!lpszStringBuf || nMaxCount <= 0) return 0;
    CString text;
    GetWindowText(text);
    const int n = std::min(text.GetLength(), nMaxCount - 1);
    std::memcpy(lpszStringBuf, static_cast<LPCSTR>(text), static_cast<size_t>(n));
    lpszStringBuf[n] = '\0';
    return n;
}

int CWnd::GetWindowTextLength() const {
    CString text;
    GetWindowText(text);
    return text.GetLength();
}

void CWnd::SetDlgItemText(int nID, LPCSTR lpszString) {
    if (CWnd* item = GetDlgItem(nID)) item->SetWindowText(lpszString);
}

int CWnd::GetDlgItemText(int nID, CString& rString) const {
    rString.Empty();
    if (CWnd* item = GetDlgItem(nID)) item->GetWindowText(rString);
    return rString.GetLength();
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    be::CallOnWindowThread(GetSafeHwnd(), [&] {
        HWND hwnd = GetSafeHwnd();
        result = be::IsDialog(hwnd) ? WindowProc(message, wParam, lParam)
                                    : be::ControlMessage(hwnd, message, wParam, lParam);
    });
    return result;
}

int CWnd::MessageBox(LPCSTR lpszText, LPCSTR lpszCaption, UINT nType) {
    const CString text(lpszText);
    const CString caption(lpszCaption ? lpszCaption : "\xB4\xED\xCE\xF3");  // "错误" in GBK
    int result = 0;
    be::CallOnWindowThread(GetSafeHwnd(), [&] {
        bool hooked = false;
        result = afx::detail::CallMessageBoxHook(&hooked, GetSafeHwnd(), text, caption, nType);
        if (!hooked) result = be::ShowMessageBox(GetSafeHwnd(), text, caption, nType);
    });
    return result;
}

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon) {
    HICON previous = nullptr;
    be::CallOnWindowThread(GetSafeHwnd(),
                           [&] { previous = be::SetIcon(GetSafeHwnd(), hIcon, bBigIcon != FALSE); });
    return previous;
}

BOOL CWnd::IsIconic() const {
    bool iconic = false;
    be::CallOnWindowThread(GetSafeHwnd(), [&] { iconic = be::IsIconic(GetSafeHwnd()); });
    return iconic ? TRUE : FALSE;
}

void CWnd::GetClientRect(LPRECT lpRect) const {
    if (!lpRect) return;
    RECT r{0, 0, 0, 0};
    be::CallOnWindowThread(GetSafeHwnd(), [&] { r = be::ClientRect(GetSafeHwnd()); });
    *lpRect = r;
}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate) {
    BOOL ok = FALSE;
    be::CallOnWindowThread(GetSafeHwnd(), [&] {
        CDataExchange dx(this, bSaveAndValidate);
        ++exchangeDepth_;
        try {
            DoDataExchange(&dx);
        } catch (...) {
            --exchangeDepth_;
            throw;
        }
        --exchangeDepth_;
        ok = dx.m_bFailed ? FALSE : TRUE;
    });
    return ok;
}

void CWnd::DoDataExchange(CDataExchange*) {}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (DispatchMappedMessage(message, wParam, lParam, &result)) return result;
    // Commands nobody in the window handles go to the application object.
    if (message == WM_COMMAND && lParam == 0)
        if (CWinApp* app = AfxGetApp(); app && app->DispatchMappedMessage(message, wParam, lParam, &result))
            return result;
    return DefWindowProc(message, wParam, lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND hwnd = GetSafeHwnd();
    if (!be::IsDialog(hwnd)) return be::ControlMessage(hwnd, message, wParam, lParam);
    return be::DefaultDialogMessage(hwnd, message, wParam, lParam);
}

void CWnd::OnSysCommand(UINT nID, LPARAM lParam) { DefWindowProc(WM_SYSCOMMAND, nID, lParam); }

void CWnd::OnPaint() {
    // The backend has painted the window before it delivers WM_PAINT; an
    // empty paint context is all the default needs.
    CPaintDC dc(this);
}

HCURSOR CWnd::OnQueryDragIcon() { return nullptr; }

BOOL CWnd::OnDeviceChange(UINT, DWORD_PTR) { return TRUE; }

// ---- the backend's access ----------------------------------------------------------
namespace afx::detail {

void WndAccess::SetHandle(CWnd& wnd, HWND hwnd) {
    wnd.heldInteger_ = false;  // a new window starts from the template's texts
    wnd.hwnd_.store(hwnd, std::memory_order_release);
}

CWnd& WndAccess::Child(CDialog& dlg, int id) {
    auto& slot = dlg.children_[id];
    if (!slot) slot = std::make_unique<CWnd>();
    return *slot;
}

LRESULT WndAccess::Deliver(CWnd& wnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && lParam != 0 && wnd.exchangeDepth_ > 0) return 0;
    return wnd.WindowProc(message, wParam, lParam);
}

bool WndAccess::Handles(CWnd& wnd, UINT message) {
    for (const AFX_MSGMAP* map = wnd.GetMessageMap(); map;
         map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr)
        for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->pfn; ++e)
            if (e->nMessage == message) return true;
    return false;
}

BOOL WndAccess::InitDialog(CDialog& dlg) { return dlg.OnInitDialog(); }

}  // namespace afx::detail
