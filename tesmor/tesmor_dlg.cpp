#include "tesmor_dlg.h"

#include <algorithm>

#include "board_link.h"
#include "close_wait.h"
#include "tesmor_resources.h"

namespace {

// A worker's failure, sent to the window; lParam: the text.
constexpr UINT WM_WORKER_FAILURE = WM_APP + 1;

}  // namespace

CTesmorDlg::CTesmorDlg(CWnd* pParent) : CToolDlg(pParent), pollJob(std::make_unique<PollJob>()) {
    pollJob->owner = this;
    pollJob->canceller = &pollCanceller_;
    digitJob.owner = this;
    digitJob.canceller = &writeCanceller_;
}

CTesmorDlg::~CTesmorDlg() {
    // The dialog may have ended without OnOK or OnCancel; no worker may outlive it.
    StopWorkers();
    WaitForWorkers();
    delete pollThread;
    for (StrandedPoller& poller : strandedPollers_) delete poller.thread;
    for (Writer& writer : writers_) delete writer.thread;
}

BEGIN_MESSAGE_MAP(CTesmorDlg, CToolDlg)
ON_BN_CLICKED(IDC_MODIFY, OnModify)
ON_MESSAGE(WM_WORKER_FAILURE, OnWorkerFailure)
END_MESSAGE_MAP()

void CTesmorDlg::DoDataExchange(CDataExchange* pDX) {
    CToolDlg::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_VALUE, valueText);
}

void CTesmorDlg::InitTool() {
    idleBitmap.LoadBitmap(IDB_IDLE_LAMP);
    activeBitmap.LoadBitmap(IDB_ACTIVE_LAMP);
    valueText = "";
    running = false;
    pollJob->active = false;
    device = nullptr;
    closing_ = false;
}

// ---- detection ------------------------------------------------------------------------

void CTesmorDlg::DetectBoard() {
    if (closing_) return;
    // A device change that arrives while detection waits for the previous poller (a worker's
    // message box can deliver it) is handled once that detection is done.
    if (detecting_) {
        detectAgain_ = true;
        return;
    }
    detecting_ = true;
    do {
        detectAgain_ = false;
        DetectOnce();
    } while (detectAgain_ && !closing_);
    detecting_ = false;
}

void CTesmorDlg::DetectOnce() {
    // While the connection is on and its poller still runs, the board only has to be there.
    // A poller that has ended on its own (its pipe would not open) does not keep the window
    // connected: detection then runs in full and starts a new one.
    if (running && pollJob->active) {
        device = OpenBoardDevice();
        const bool there = device != INVALID_HANDLE_VALUE;
        if (there) CloseBoardHandle(device);
        device = nullptr;
        if (there) return;
    }
    // A new connection never overlaps the previous poller.
    StopPoller();
    if (closing_) return;

    const BoardIdentity board = IdentifyBoard();
    SetWindowText(board.title);
    const bool known = board.presence == BoardPresence::Known;
    GetDlgItem(IDC_MODIFY)->EnableWindow(known);
    if (!known) return;
    running = true;
    StartPoller();
}

void CTesmorDlg::StartPoller() {
    if (!pollJob) {  // the last one's stayed with the poller left behind
        pollJob = std::make_unique<PollJob>();
        pollJob->owner = this;
        pollJob->canceller = &pollCanceller_;
    }
    DevicePath.CopyTo(pollJob->devicePath);
    pollJob->active = true;
    CWinThread* thread = AfxBeginThread(PollWorker, pollJob.get(), THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    if (thread == nullptr) {
        pollJob->active = false;  // the next detection tries again
        return;
    }
    thread->m_bAutoDelete = FALSE;
    pollThread = thread;
    thread->ResumeThread();
}

void CTesmorDlg::StopPoller() {
    running = false;
    if (pollThread == nullptr) return;
    // This poller alone stops for good: a later connection sets `running` again.
    pollJob->active = false;
    pollCanceller_.CancelAll();
    if (WaitForWorkersWithin({pollThread->m_hThread}, kCloseWaitMs, [this] { pollCanceller_.CancelAll(); },
                             AfxWaitServingCalls)) {
        delete pollThread;
    } else {
        // The driver keeps the cancelled read: the window must not freeze with it. The poller
        // keeps its record and ends, if ever, without touching the window (its flag is clear).
        strandedPollers_.push_back({std::move(pollJob), pollThread});
    }
    pollThread = nullptr;
}

// ---- Modify ---------------------------------------------------------------------------

void CTesmorDlg::OnModify() {
    if (closing_) return;
    UpdateData(TRUE);
    DigitRecord digits{};
    const DigitValueCheck check = ParseDigitValue(valueText.str(), digits);
    if (check == DigitValueCheck::TooLong) {
        MessageBox("所写数值溢出，最多只能写入8位。", "错误", MB_ICONERROR);
        return;
    }
    if (check == DigitValueCheck::Empty) {
        MessageBox("请填入数值。", "错误", MB_ICONERROR);
        return;
    }
    // The field keeps the value as typed; the zeros are added to the digits only.
    UpdateData(FALSE);
    if (check == DigitValueCheck::NotHex) {
        MessageBox("所写数值格式不对，有可能不是16进制数。", "错误", MB_ICONERROR);
        return;
    }
    std::copy(digits.begin(), digits.end(), digitJob.buffer);
    StartWriter(digits);
}

void CTesmorDlg::StartWriter(const DigitRecord& digits) {
    ReleaseFinishedWriters();
    auto job = std::make_unique<DigitJob>();
    job->owner = this;
    job->canceller = &writeCanceller_;
    std::copy(digits.begin(), digits.end(), job->buffer);
    DevicePath.CopyTo(job->devicePath);
    CWinThread* thread = AfxBeginThread(DigitWriter, job.get(), THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    if (thread == nullptr) return;
    thread->m_bAutoDelete = FALSE;
    writers_.push_back({std::move(job), thread});
    thread->ResumeThread();
}

void CTesmorDlg::ReleaseFinishedWriters() {
    std::erase_if(writers_, [](Writer& writer) {
        if (WaitForSingleObject(writer.thread->m_hThread, 0) != WAIT_OBJECT_0) return false;
        delete writer.thread;
        return true;
    });
}

// ---- closing --------------------------------------------------------------------------

void CTesmorDlg::OnOK() {
    if (closing_) return;
    StopWorkers();
    CToolDlg::OnOK();
    WaitForWorkers();
}

void CTesmorDlg::OnCancel() {
    if (closing_) return;
    StopWorkers();
    CToolDlg::OnCancel();
    WaitForWorkers();
}

void CTesmorDlg::StopWorkers() {
    closing_ = true;
    running = false;
    pollCanceller_.CancelAll();
    writeCanceller_.CancelAll();
}

void CTesmorDlg::WaitForWorkers() {
    std::vector<HANDLE> threads;
    if (pollThread != nullptr) threads.push_back(pollThread->m_hThread);
    for (StrandedPoller& poller : strandedPollers_) threads.push_back(poller.thread->m_hThread);
    for (Writer& writer : writers_) threads.push_back(writer.thread->m_hThread);
    FinishClose(threads, [this] {
        pollCanceller_.CancelAll();
        writeCanceller_.CancelAll();
    });
}

// ---- what the workers call ------------------------------------------------------------

bool CTesmorDlg::Running() const { return running; }

void CTesmorDlg::UpdateStatusDisplay(const StatusReport& report) {
    const int lit = LitLamp(report.key);
    for (int i = 0; i < kLampCount; ++i) {
        const HBITMAP image = i == lit ? activeBitmap.GetSafeHandle() : idleBitmap.GetSafeHandle();
        if (CWnd* lamp = GetDlgItem(IDC_LAMP1 + i))
            lamp->SendMessage(STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(image));
    }
    if (CWnd* clock = GetDlgItem(IDC_CLOCK)) clock->SetWindowText(ClockText(report).c_str());
}

void CTesmorDlg::ShowWorkerFailure(const char* text) {
    SendMessage(WM_WORKER_FAILURE, 0, reinterpret_cast<LPARAM>(text));
}

// A failure the close caused is not shown: the window is gone by then.
LRESULT CTesmorDlg::OnWorkerFailure(WPARAM, LPARAM text) {
    if (!closing_.load()) MessageBox(reinterpret_cast<const char*>(text), "Test Error", MB_OK);
    return 0;
}
