// Rectangles, bitmaps and painting.
#pragma once

#include <afx_winsys.h>

class CWnd;

struct CRect : public RECT {
    CRect() : RECT{0, 0, 0, 0} {}
    CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    operator LPRECT() { return this; }         // NOLINT: implicit on purpose
    operator LPCRECT() const { return this; }  // NOLINT
};

// Owns a bitmap handle and deletes it on destruction.
class CBitmap {
  public:
    CBitmap() = default;
    ~CBitmap();
    CBitmap(const CBitmap&) = delete;
    CBitmap& operator=(const CBitmap&) = delete;

    BOOL LoadBitmap(UINT nIDResource);  // bitmap resource by number; FALSE if missing
    BOOL Attach(HBITMAP hBitmap);       // takes ownership; FALSE if one is held already
    HBITMAP Detach();
    BOOL DeleteObject();
    HBITMAP GetSafeHandle() const { return handle_; }
    operator HBITMAP() const { return handle_; }  // NOLINT: implicit on purpose

  private:
    HBITMAP handle_ = nullptr;
};

class CDC {
  public:
    HDC GetSafeHdc() const { return m_hDC; }
    BOOL DrawIcon(int x, int y, HICON hIcon) { return ::DrawIcon(m_hDC, x, y, hIcon); }
    HDC m_hDC = nullptr;
};

// Painting context for an OnPaint handler. On backends where the window
// system paints the window itself, the context is valid inside OnPaint only.
class CPaintDC : public CDC {
  public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC();
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

  private:
    CWnd* wnd_;
};
