// Worker threads.
#pragma once

#include <afx_winsys.h>

#include <condition_variable>
#include <mutex>

typedef UINT (*AFX_THREADPROC)(LPVOID);

// A thread started by AfxBeginThread.
//
// Ownership of m_hThread: the CWinThread object owns its handle and closes it
// when the object is destroyed. With m_bAutoDelete (the default, TRUE) the
// object destroys itself as soon as the procedure returns, so both the object
// and the handle may be gone by the time AfxBeginThread returns to a caller
// whose thread ends quickly. To keep a handle to wait on, start the thread
// suspended, take it over, then let it run:
//
//     CWinThread* t = AfxBeginThread(Proc, &job, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
//     t->m_bAutoDelete = FALSE;   // now the caller deletes t (closing the handle)
//     t->ResumeThread();
//     ...
//     AfxWaitServingCalls(t->m_hThread, 500);
//
// The handle is a kernel32 thread handle: WaitForSingleObject waits for the
// end of the procedure; GetExitCodeThread gives its return value.
class CWinThread {
  public:
    ~CWinThread();
    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;

    // Lets a thread created with CREATE_SUSPENDED run. Returns 1 if it was
    // suspended, 0 if it was already running.
    DWORD ResumeThread();

    HANDLE m_hThread = nullptr;
    DWORD m_nThreadID = 0;
    BOOL m_bAutoDelete = TRUE;  // read once the thread runs: change it only while suspended

  private:
    friend CWinThread* AfxBeginThread(AFX_THREADPROC, LPVOID, int, UINT, DWORD, LPSECURITY_ATTRIBUTES);
    CWinThread(AFX_THREADPROC proc, LPVOID param);
    static DWORD WINAPI Start(LPVOID self);

    AFX_THREADPROC proc_;
    LPVOID param_;
    std::mutex gateMutex_;
    std::condition_variable gate_;
    bool released_ = false;
};

// Starts proc(pParam) on a new thread at normal priority (nPriority and
// lpSecurityAttrs are accepted and ignored). nStackSize 0 is the default size.
// dwCreateFlags: 0 or CREATE_SUSPENDED. Returns nullptr if no thread started.
CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam,
                           int nPriority = THREAD_PRIORITY_NORMAL, UINT nStackSize = 0,
                           DWORD dwCreateFlags = 0, LPSECURITY_ATTRIBUTES lpSecurityAttrs = nullptr);

// Waits up to dwMilliseconds (INFINITE allowed) for hHandle like
// WaitForSingleObject, and meanwhile serves the synchronous window calls that
// workers make to windows of the calling thread, so a window's thread can wait
// for a worker that is still updating the window. On any other thread it is a
// plain WaitForSingleObject.
DWORD AfxWaitServingCalls(HANDLE hHandle, DWORD dwMilliseconds);
// The same for any one of nCount handles (fewer than MAXIMUM_WAIT_OBJECTS), as
// WaitForMultipleObjects without bWaitAll: WAIT_OBJECT_0 + the index of the one that
// ended the wait, WAIT_TIMEOUT or WAIT_FAILED.
DWORD AfxWaitServingCalls(DWORD nCount, const HANDLE* lpHandles, DWORD dwMilliseconds);
