// CBitmap and CPaintDC.
#include <afx_gdi.h>
#include <afx_wnd.h>

#include "backend.h"

CBitmap::~CBitmap() { DeleteObject(); }

BOOL CBitmap::LoadBitmap(UINT nIDResource) {
    if (handle_) return FALSE;
    handle_ = afx::backend::LoadBitmap(static_cast<int>(nIDResource));
    return handle_ ? TRUE : FALSE;
}

BOOL CBitmap::Attach(HBITMAP hBitmap) {
    if (handle_ || !hBitmap) return FALSE;
    handle_ = hBitmap;
    return TRUE;
}

HBITMAP CBitmap::Detach() {
    HBITMAP h = handle_;
    handle_ = nullptr;
    return h;
}

BOOL CBitmap::DeleteObject() {
    if (!handle_) return FALSE;
    bool ok = afx::backend::DeleteBitmap(handle_);
    handle_ = nullptr;
    return ok ? TRUE : FALSE;
}

CPaintDC::CPaintDC(CWnd* pWnd) : wnd_(pWnd) {
    if (wnd_ && afx::backend::IsWindowThread()) m_hDC = afx::backend::BeginPaint(wnd_->GetSafeHwnd());
}

CPaintDC::~CPaintDC() {
    if (m_hDC) afx::backend::EndPaint(wnd_->GetSafeHwnd(), m_hDC);
}
