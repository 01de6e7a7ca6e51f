// Windows and dialogs: CWnd, CDialog and the dialog data exchange.
//
// Threads. A window belongs to the thread that runs its dialog (the window's
// thread). Every CWnd operation below may be called from any thread: from
// another thread it is carried over to the window's thread and the caller
// waits for it, as a sent window message is. From the window's thread it runs
// directly. An operation on a window that is gone (its dialog has ended)
// returns at once and does nothing: texts read back empty, MessageBox returns
// 0, SendMessage returns 0. Objects returned by GetDlgItem stay valid as long
// as the dialog object lives, so a worker that holds the dialog may go on
// calling them after the dialog ended.
//
// A window's thread that waits for a worker must keep serving those calls, or
// both wait for ever: wait with AfxWaitServingCalls (afx_thread.h), never with
// a plain WaitForSingleObject(..., INFINITE), while the worker may still call.
#pragma once

#include <afx_gdi.h>
#include <afx_msgmap.h>
#include <afx_string.h>
#include <afx_winsys.h>

#include <atomic>
#include <map>
#include <memory>

namespace afx::detail {
struct WndAccess;
}

class CDataExchange;

class CWnd : public CCmdTarget {
  public:
    CWnd();
    ~CWnd() override;

    // The window's handle while it exists; afterwards a handle that no longer
    // names a window (never reused), or nullptr before the window was made.
    HWND GetSafeHwnd() const { return hwnd_.load(std::memory_order_acquire); }

    // The control with this id, for a dialog whose window has been created;
    // nullptr for an unknown id or before DoModal has made the window.
    CWnd* GetDlgItem(int nID) const;

    BOOL EnableWindow(BOOL bEnable = TRUE);  // returns TRUE if the window was disabled before
    BOOL IsWindowEnabled() const;
    void SetWindowText(LPCSTR lpszString);
    int GetWindowText(LPSTR lpszStringBuf, int nMaxCount) const;  // bytes copied, without the NUL
    void GetWindowText(CString& rString) const;
    int GetWindowTextLength() const;  // bytes
    void SetDlgItemText(int nID, LPCSTR lpszString);
    int GetDlgItemText(int nID, CString& rString) const;

    // Sends a message and waits for its result. To a dialog: routed through
    // its message map (unhandled messages get the default handling). To a
    // control: STM_SETIMAGE/STM_GETIMAGE (IMAGE_BITMAP or IMAGE_ICON),
    // WM_SETTEXT, WM_GETTEXT, WM_GETTEXTLENGTH; anything else returns 0.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    // A message box modal to this window. Types: MB_OK, MB_OKCANCEL, MB_YESNO,
    // MB_YESNOCANCEL with no icon, MB_ICONERROR (0x10), MB_ICONQUESTION,
    // MB_ICONWARNING (0x30) or MB_ICONINFORMATION. Returns IDOK etc., or 0
    // when the window is gone. A nullptr caption reads "错误" as on Windows.
    int MessageBox(LPCSTR lpszText, LPCSTR lpszCaption = nullptr, UINT nType = MB_OK);

    HICON SetIcon(HICON hIcon, BOOL bBigIcon);  // returns the previous icon of that size
    BOOL IsIconic() const;
    void GetClientRect(LPRECT lpRect) const;

    // Pulls control texts into members (TRUE) or pushes members into the
    // controls (FALSE) through DoDataExchange, on the window's thread. The
    // dialog's controls send no notifications while it runs. Returns FALSE when
    // some integer field held no decimal integer (see DDX_Text); every other
    // field is still exchanged.
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

  protected:
    virtual void DoDataExchange(CDataExchange* pDX);

    // Entry for every message: the message map first, then DefWindowProc.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    // Default handlers, for a derived handler to fall back on.
    afx_msg void OnSysCommand(UINT nID, LPARAM lParam);              // SC_CLOSE: the Cancel path
    afx_msg void OnPaint();                                          // the backend's own painting
    afx_msg HCURSOR OnQueryDragIcon();                               // nullptr
    afx_msg BOOL OnDeviceChange(UINT nEventType, DWORD_PTR dwData);  // TRUE

    DECLARE_MESSAGE_MAP()

  private:
    friend struct afx::detail::WndAccess;
    friend class CDialog;
    friend void DDX_Text(CDataExchange*, int, int&);

    std::atomic<HWND> hwnd_{nullptr};
    std::map<int, std::unique_ptr<CWnd>> children_;  // filled once, before the window is shown
    int exchangeDepth_ = 0;                          // window's thread only
    // Integer fields whose last pull failed, with the member value then; a push
    // of that same value leaves the text as the user typed it.
    bool heldInteger_ = false;
    int heldValue_ = 0;
};

class CDialog : public CWnd {
  public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // Creates the window from template nIDTemplate, runs OnInitDialog, and
    // returns the value passed to EndDialog when the dialog ends; -1 when the
    // template is missing. Must be called on the thread that runs the GUI.
    virtual INT_PTR DoModal();

    // Ends the dialog: DoModal returns nResult once the current handler is done.
    void EndDialog(int nResult);

    // Pushes the members (UpdateData(FALSE)) and returns TRUE, which puts the
    // focus on the first tab stop; return FALSE after setting the focus yourself.
    virtual BOOL OnInitDialog();

    UINT GetTemplateId() const { return templateId_; }
    CWnd* GetParent() const { return parent_; }

  protected:
    // IDOK (Enter in any edit, a button with id 1): pulls and ends with IDOK.
    // A failed integer pull does not keep the dialog open.
    virtual void OnOK();
    // IDCANCEL (Esc, the close box, a button with id 2): ends with IDCANCEL.
    virtual void OnCancel();

    DECLARE_MESSAGE_MAP()

  private:
    friend struct afx::detail::WndAccess;
    UINT templateId_;
    CWnd* parent_;
};

// ---- data exchange -------------------------------------------------------------
class CDataExchange {
  public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

    BOOL m_bSaveAndValidate;  // TRUE: pull (controls -> members); FALSE: push
    CWnd* m_pDlgWnd;
    bool m_bFailed = false;  // some field could not be pulled
};

// Text field <-> CString. A push that would leave the text as it is does not
// touch the control, so its caret and selection stay where they are.
void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);

// Text field <-> int, as decimal text. A pull accepts optional white space, an
// optional sign and decimal digits; values beyond the int range saturate at
// INT_MIN / INT_MAX. A field holding anything else (empty, a lone "-", "12a")
// fails the pull: the member keeps its value, nothing is shown (no message
// box), and until the member changes a push leaves the field's text as the
// user typed it. So a user can clear a numeric field and type a new number
// while an edit-change handler pulls and pushes on every keystroke.
void DDX_Text(CDataExchange* pDX, int nIDC, int& value);
