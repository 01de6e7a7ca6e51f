// Message maps: static tables that route window messages to member functions.
//
//     class CMyDlg : public CDialog {
//         ...
//         afx_msg void OnRead();
//         afx_msg void OnChangeLength();
//         afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
//         DECLARE_MESSAGE_MAP()
//     };
//
//     BEGIN_MESSAGE_MAP(CMyDlg, CDialog)
//         ON_BN_CLICKED(1002, OnRead)
//         ON_EN_CHANGE(1006, OnChangeLength)
//         ON_WM_SYSCOMMAND()
//     END_MESSAGE_MAP()
//
// Handlers are named without the class (OnRead) or with a base class
// qualifier (CWinApp::OnHelp); the compiler checks every handler's signature.
// A class's map is searched before its base's. Handlers run on the window's
// thread, one message at a time (a handler that opens a modal box or sends a
// message may see further messages nested inside it, as on Windows).
//
// Expected signatures:
//   ON_BN_CLICKED, ON_EN_CHANGE, ON_COMMAND   void f()
//   ON_WM_SYSCOMMAND                          void OnSysCommand(UINT nID, LPARAM lParam)
//   ON_WM_PAINT                               void OnPaint()
//   ON_WM_QUERYDRAGICON                       HCURSOR OnQueryDragIcon()
//   ON_WM_DEVICECHANGE                        BOOL OnDeviceChange(UINT nEventType, DWORD_PTR dwData)
//   ON_MESSAGE(message, f)                    LRESULT f(WPARAM wParam, LPARAM lParam)
#pragma once

#include <afx_winsys.h>

#include <cstddef>

#ifndef afx_msg
#define afx_msg
#endif

class CCmdTarget;

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;  // 0 ends the table
    UINT nCode;     // WM_COMMAND: notification code (BN_CLICKED, EN_CHANGE, 0 for commands)
    UINT nID;       // WM_COMMAND: control or command id
    LRESULT (*pfn)(CCmdTarget* target, WPARAM wParam, LPARAM lParam);
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();  // nullptr at the root
    const AFX_MSGMAP_ENTRY* lpEntries;
};

// Root of everything that has a message map.
class CCmdTarget {
  public:
    CCmdTarget() = default;
    virtual ~CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;

    // Looks the message up in this object's map chain; on a hit runs the
    // handler, stores its result and returns true.
    bool DispatchMappedMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

  protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
};

#define DECLARE_MESSAGE_MAP()                       \
  protected:                                        \
    static const ::AFX_MSGMAP* GetThisMessageMap(); \
    const ::AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                          \
    const ::AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const ::AFX_MSGMAP* theClass::GetThisMessageMap() {                                 \
        typedef theClass ThisClass;                                                     \
        typedef baseClass TheBaseClass;                                                 \
        static_assert(sizeof(ThisClass) > 0);                                           \
        static const ::AFX_MSGMAP_ENTRY _messageEntries[] = {
#define END_MESSAGE_MAP()                                                                           \
    { 0, 0, 0, nullptr }                                                                            \
    }                                                                                               \
    ;                                                                                               \
    static const ::AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]}; \
    return &messageMap;                                                                             \
    }

#define AFX_MSG_THUNK(body)                                                         \
    [](::CCmdTarget* afxTarget_, WPARAM afxWParam_, LPARAM afxLParam_) -> LRESULT { \
        ThisClass* afxThis_ = static_cast<ThisClass*>(afxTarget_);                  \
        (void)afxThis_;                                                             \
        (void)afxWParam_;                                                           \
        (void)afxLParam_;                                                           \
        body                                                                        \
    }

#define ON_COMMAND(id, memberFxn)                                                  \
    { WM_COMMAND, 0, (UINT)(id), AFX_MSG_THUNK(afxThis_->memberFxn(); return 0;) } \
    ,
#define ON_BN_CLICKED(id, memberFxn)                                                        \
    { WM_COMMAND, BN_CLICKED, (UINT)(id), AFX_MSG_THUNK(afxThis_->memberFxn(); return 0;) } \
    ,
#define ON_EN_CHANGE(id, memberFxn)                                                        \
    { WM_COMMAND, EN_CHANGE, (UINT)(id), AFX_MSG_THUNK(afxThis_->memberFxn(); return 0;) } \
    ,
#define ON_WM_SYSCOMMAND()                                                                                  \
    { WM_SYSCOMMAND, 0, 0, AFX_MSG_THUNK(afxThis_->OnSysCommand((UINT)afxWParam_, afxLParam_); return 0;) } \
    ,
#define ON_WM_PAINT()                                                 \
    { WM_PAINT, 0, 0, AFX_MSG_THUNK(afxThis_->OnPaint(); return 0;) } \
    ,
#define ON_WM_QUERYDRAGICON()                                                                 \
    { WM_QUERYDRAGICON, 0, 0, AFX_MSG_THUNK(return (LRESULT)(afxThis_->OnQueryDragIcon());) } \
    ,
#define ON_WM_DEVICECHANGE()                                                                        \
    {                                                                                               \
        WM_DEVICECHANGE, 0, 0,                                                                      \
            AFX_MSG_THUNK(                                                                          \
                return (LRESULT)afxThis_->OnDeviceChange((UINT)afxWParam_, (DWORD_PTR)afxLParam_);) \
    }                                                                                               \
    ,
#define ON_MESSAGE(message, memberFxn)                                                            \
    { (UINT)(message), 0, 0, AFX_MSG_THUNK(return afxThis_->memberFxn(afxWParam_, afxLParam_);) } \
    ,
