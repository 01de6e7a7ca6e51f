#include "varnel_dlg.h"

#include "board_link.h"
#include "hex_text.h"
#include "varnel_controls.h"

namespace {

constexpr char kErrorCaption[] = "错误";
constexpr char kWarningCaption[] = "警告";
constexpr char kWorkerCaption[] = "Test Error";
constexpr int kEepromSize = 256;
constexpr int kMaxWriteTextBytes = 3 * kMaxTransferBytes;

// What a worker sends its window.
constexpr UINT WM_TRANSFER_FAILURE = WM_APP + 1;  // lParam: the text
constexpr UINT WM_JOB_ENDED = WM_APP + 2;         // wParam: the job's ticket
constexpr UINT WM_READ_TEXT = WM_APP + 3;         // lParam: the text to append to the read display

}  // namespace

CVarnelDlg::CVarnelDlg(CWnd* pParent) : CToolDlg(pParent) {}

CVarnelDlg::~CVarnelDlg() {
    jobs_.BeginClose();
    WaitForWorkers();
}

BEGIN_MESSAGE_MAP(CVarnelDlg, CToolDlg)
ON_EN_CHANGE(IDC_READ_LENGTH, OnChangeLength)
ON_EN_CHANGE(IDC_READ_START, OnChangeReadStart)
ON_EN_CHANGE(IDC_WRITE_START, OnChangeWriteStart)
ON_BN_CLICKED(IDC_CLEAR_READ, OnClearRead)
ON_BN_CLICKED(IDC_CLEAR_WRITE, OnClearWrite)
ON_BN_CLICKED(IDC_READ, OnRead)
ON_BN_CLICKED(IDC_WRITE, OnWrite)
ON_MESSAGE(WM_TRANSFER_FAILURE, OnTransferFailure)
ON_MESSAGE(WM_JOB_ENDED, OnJobEnded)
ON_MESSAGE(WM_READ_TEXT, OnReadText)
END_MESSAGE_MAP()

void CVarnelDlg::DoDataExchange(CDataExchange* pDX) {
    CToolDlg::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_READ_DISPLAY, readText);
    DDX_Text(pDX, IDC_WRITE_DATA, writeText);
    DDX_Text(pDX, IDC_READ_LENGTH, length);
    DDX_Text(pDX, IDC_WRITE_START, writeStart);
    DDX_Text(pDX, IDC_READ_START, readStart);
}

void CVarnelDlg::InitTool() { jobs_.Open(); }

// ---- detection and buttons ----------------------------------------------------------

void CVarnelDlg::DetectBoard() {
    const BoardIdentity board = IdentifyBoard();
    SetWindowText(board.title);
    if (jobs_.JobRunning()) return;
    const BOOL on = board.presence == BoardPresence::Known ? TRUE : FALSE;
    EnableTransferButtons(on, on, on, on);
}

void CVarnelDlg::EnableTransferButtons(BOOL clearRead, BOOL read, BOOL clearWrite, BOOL write) {
    const struct {
        int id;
        BOOL enable;
    } buttons[] = {
        {IDC_CLEAR_READ, clearRead}, {IDC_READ, read}, {IDC_CLEAR_WRITE, clearWrite}, {IDC_WRITE, write}};
    for (const auto& button : buttons)
        if (CWnd* item = GetDlgItem(button.id)) item->EnableWindow(button.enable);
}

// ---- fields ----------------------------------------------------------------------------

void CVarnelDlg::OnChangeLength() {
    UpdateData(TRUE);
    if (length <= 0) length = 1;
    if (length > kMaxTransferBytes) length = kMaxTransferBytes;
    UpdateData(FALSE);
}

void CVarnelDlg::OnChangeReadStart() {
    UpdateData(TRUE);
    if (readStart < 0) readStart = 0;
    if (readStart >= kEepromSize) readStart = kEepromSize - 1;
    UpdateData(FALSE);
}

void CVarnelDlg::OnChangeWriteStart() {
    UpdateData(TRUE);
    if (writeStart < 0) writeStart = 0;
    if (writeStart >= kEepromSize) writeStart = kEepromSize - 1;
    UpdateData(FALSE);
}

void CVarnelDlg::OnClearRead() {
    UpdateData(TRUE);
    readText = "";
    UpdateData(FALSE);
}

void CVarnelDlg::OnClearWrite() {
    UpdateData(TRUE);
    writeText = "";
    UpdateData(FALSE);
}

// ---- requests ----------------------------------------------------------------------------

void CVarnelDlg::OnRead() {
    OnClearRead();
    UpdateData(TRUE);
    if (length + readStart > kEepromSize) {
        MessageBox("所要读取的数据超过E2PROM地址区间，溢出。", kErrorCaption, MB_ICONERROR);
        return;
    }
    readJob.length = length;
    readJob.start = static_cast<std::uint8_t>(readStart & 0xFF);
    UpdateData(FALSE);
    readJob.owner = this;
    DevicePath.CopyTo(readJob.devicePath);  // the board the title names now
    EnableTransferButtons(FALSE, FALSE, FALSE, FALSE);
    StartWorker(ReadWorker, readJob);
}

void CVarnelDlg::OnWrite() {
    UpdateData(TRUE);
    const int n = writeText.GetLength();  // bytes: a Chinese character counts 2
    if (n > kMaxWriteTextBytes) {
        MessageBox("所写入的数据过长，每次最多只能写入64个字节的数据。", kWarningCaption, MB_ICONWARNING);
        return;
    }
    if (n == 0) {
        MessageBox("请输入所要写入的数据。", kWarningCaption, MB_ICONWARNING);
        return;
    }
    if (n % 3 == 1) {
        MessageBox("您所输入的数据格式不对，请检查是否漏掉了空格或有多余的空格或数据的位数不对。",
                   kErrorCaption, MB_ICONERROR);
        return;
    }
    const int count = n / 3 + (n % 3 != 0 ? 1 : 0);
    const CString text = writeText;
    if (ParseHexByteText(text, writeJob.data, count, 1) != 0) {
        MessageBox("您所输入的数据格式不对，其中有可能有些不是16进制数。", kErrorCaption, MB_ICONERROR);
        return;
    }
    if (writeStart + count > kEepromSize) {
        MessageBox("所要写入的数据超过E2PROM地址区间，溢出。", kErrorCaption, MB_ICONERROR);
        return;
    }
    writeJob.start = static_cast<std::uint8_t>(writeStart & 0xFF);
    writeJob.length = count;
    UpdateData(FALSE);
    writeJob.owner = this;
    DevicePath.CopyTo(writeJob.devicePath);
    EnableTransferButtons(FALSE, FALSE, FALSE, FALSE);
    StartWorker(WriteWorker, writeJob);
}

// ---- workers ----------------------------------------------------------------------------

void CVarnelDlg::ShowTransferFailure(const char* text) {
    SendMessage(WM_TRANSFER_FAILURE, 0, reinterpret_cast<LPARAM>(text));
}

void CVarnelDlg::JobEnded(int ticket) { SendMessage(WM_JOB_ENDED, static_cast<WPARAM>(ticket), 0); }

// A failure the close caused is not shown: the window is gone by then.
LRESULT CVarnelDlg::OnTransferFailure(WPARAM, LPARAM text) {
    if (!jobs_.Closing()) MessageBox(reinterpret_cast<const char*>(text), kWorkerCaption, MB_OK);
    return 0;
}

// Only the job that holds the buttons gives them back. Here, on the window's thread, nothing can
// come between the end of the job and its buttons: no detection, no click that starts another
// job on the same record.
LRESULT CVarnelDlg::OnJobEnded(WPARAM ticket, LPARAM) {
    if (jobs_.JobEnded(static_cast<int>(ticket))) EnableTransferButtons(TRUE, TRUE, TRUE, TRUE);
    return 0;
}

void CVarnelDlg::AppendToReadDisplay(const std::string& text) {
    SendMessage(WM_READ_TEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// The display's text is read and set in one handler on the window's thread: nothing typed in
// between can be lost. Bytes that arrive once the close has begun are not shown.
LRESULT CVarnelDlg::OnReadText(WPARAM, LPARAM text) {
    CWnd* display = GetDlgItem(IDC_READ_DISPLAY);
    if (jobs_.Closing() || !display) return 0;
    CString shown;
    display->GetWindowText(shown);
    shown += reinterpret_cast<const char*>(text);
    display->SetWindowText(shown);
    return 0;
}

void CVarnelDlg::StartWorker(AFX_THREADPROC worker, TransferJob& job) {
    ReapEndedWorkers();
    job.ticket = jobs_.JobStarted();
    // Started suspended so that the thread object, and with it the handle to wait on at
    // close, stays with the dialog.
    CWinThread* thread = AfxBeginThread(worker, &job, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    if (!thread) {
        // No job runs: the buttons stay off until the next detection sets them.
        jobs_.JobEnded(job.ticket);
        return;
    }
    thread->m_bAutoDelete = FALSE;
    workers_.emplace_back(thread);
    thread->ResumeThread();
}

void CVarnelDlg::ReapEndedWorkers() {
    std::erase_if(workers_, [](const std::unique_ptr<CWinThread>& thread) {
        return WaitForSingleObject(thread->m_hThread, 0) == WAIT_OBJECT_0;
    });
}

void CVarnelDlg::WaitForWorkers() {
    std::vector<HANDLE> threads;
    for (const auto& thread : workers_) threads.push_back(thread->m_hThread);
    FinishClose(threads, [this] { jobs_.Handles().CancelAll(); });
    workers_.clear();
}

// ---- closing -------------------------------------------------------------------------------

// The worker is told to stop and its pending transfer is cancelled before the dialog ends, so
// the wait that follows (serving the worker's calls on the window) is short when the driver
// honours the cancel, and bounded when it does not.
// A second close (a close or cancel command sent to the hidden window while the first waits)
// does nothing: the first holds the workers' thread handles until it is done with them.
void CVarnelDlg::OnOK() {
    if (jobs_.Closing()) return;
    jobs_.BeginClose();
    CToolDlg::OnOK();
    WaitForWorkers();
}

void CVarnelDlg::OnCancel() {
    if (jobs_.Closing()) return;
    jobs_.BeginClose();
    CToolDlg::OnCancel();
    WaitForWorkers();
}
