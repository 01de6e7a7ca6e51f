// Worker threads on top of kernel32's CreateThread.
#include <afx_thread.h>

#include <chrono>

#include "backend.h"

CWinThread::CWinThread(AFX_THREADPROC proc, LPVOID param) : proc_(proc), param_(param) {}

CWinThread::~CWinThread() {
    if (m_hThread) CloseHandle(m_hThread);
}

DWORD CWinThread::ResumeThread() {
    std::lock_guard lock(gateMutex_);
    if (released_) return 0;
    released_ = true;
    gate_.notify_all();
    return 1;
}

DWORD WINAPI CWinThread::Start(LPVOID self) {
    auto* thread = static_cast<CWinThread*>(self);
    AFX_THREADPROC proc;
    LPVOID param;
    bool autoDelete;
    {
        std::unique_lock lock(thread->gateMutex_);
        thread->gate_.wait(lock, [&] { return thread->released_; });
        proc = thread->proc_;
        param = thread->param_;
        autoDelete = thread->m_bAutoDelete != FALSE;
    }
    // Past this point an object the caller took over may be deleted at any time.
    DWORD code = proc(param);
    if (autoDelete) delete thread;
    return code;
}

CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int, UINT nStackSize,
                           DWORD dwCreateFlags, LPSECURITY_ATTRIBUTES) {
    if (!pfnThreadProc) return nullptr;
    auto* thread = new CWinThread(pfnThreadProc, pParam);
    // The thread waits at the gate until its handle is stored, so that even a
    // thread that ends at once finds a complete object to delete.
    DWORD id = 0;
    HANDLE h = CreateThread(nullptr, nStackSize, &CWinThread::Start, thread, 0, &id);
    if (!h) {
        delete thread;
        return nullptr;
    }
    thread->m_hThread = h;
    thread->m_nThreadID = id;
    if (!(dwCreateFlags & CREATE_SUSPENDED)) thread->ResumeThread();
    return thread;
}

DWORD AfxWaitServingCalls(HANDLE hHandle, DWORD dwMilliseconds) {
    return AfxWaitServingCalls(1, &hHandle, dwMilliseconds);
}

DWORD AfxWaitServingCalls(DWORD nCount, const HANDLE* lpHandles, DWORD dwMilliseconds) {
    if (!afx::backend::IsWindowThread()) return WaitForMultipleObjects(nCount, lpHandles, FALSE, dwMilliseconds);
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(dwMilliseconds);
    for (;;) {
        afx::backend::ServePendingCalls();
        DWORD left = INFINITE;
        if (dwMilliseconds != INFINITE) {
            const auto ms =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            left = static_cast<DWORD>(ms > 0 ? ms : 0);
        }
        // One wait for a thread's end and a worker's call alike: whichever comes first wakes it.
        const DWORD r = afx::backend::WaitForObjectsOrCall(nCount, lpHandles, left);
        if (r != WAIT_OBJECT_0 + nCount) return r;
    }
}
