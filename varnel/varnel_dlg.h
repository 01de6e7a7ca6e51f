// Varnel's main dialog: reads and writes the board's EEPROM, 1 to 64 bytes at a time, with the
// data shown and typed as hex text. Requests are checked here, on the window's thread; the
// transfers run on one worker thread per job.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "job_control.h"
#include "tool_shell.h"
#include "transfer_job.h"

class CVarnelDlg : public CToolDlg, public TransferOwner {
  public:
    explicit CVarnelDlg(CWnd* pParent = nullptr);
    // Stops and waits for a worker that still runs, as a close does (the dialog may end
    // without OnOK or OnCancel).
    ~CVarnelDlg() override;

    // Names the board in the title; sets the four buttons by its presence unless a job runs,
    // whose end gives them back.
    void DetectBoard() override;
    void EnableTransferButtons(BOOL clearRead, BOOL read, BOOL clearWrite, BOOL write);

    // Exchanged with the controls, in this order.
    CString readText;    // 1000
    CString writeText;   // 1003
    int length = 1;      // 1006, 1 to 64
    int writeStart = 0;  // 1004, 0 to 255
    int readStart = 0;   // 1001, 0 to 255

    TransferJob readJob;
    TransferJob writeJob;

  protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void InitTool() override;
    // Enter in a field and the close box end the dialog as the framework does; a running job
    // is stopped first and waited for (within the close's bound) once the window is gone.
    void OnOK() override;
    void OnCancel() override;
    bool Closing() const override { return jobs_.Closing(); }

    // TransferOwner: each goes to the window's thread as a sent message.
    void ShowTransferFailure(const char* text) override;
    void JobEnded(int ticket) override;

    afx_msg void OnChangeLength();
    afx_msg void OnChangeReadStart();
    afx_msg void OnChangeWriteStart();
    afx_msg void OnClearRead();
    afx_msg void OnClearWrite();
    afx_msg void OnRead();
    afx_msg void OnWrite();
    afx_msg LRESULT OnTransferFailure(WPARAM, LPARAM text);
    afx_msg LRESULT OnJobEnded(WPARAM ticket, LPARAM);
    afx_msg LRESULT OnReadText(WPARAM, LPARAM text);
    DECLARE_MESSAGE_MAP()

  private:
    void AppendToReadDisplay(const std::string& text) override;
    JobControl& Jobs() override { return jobs_; }

    void StartWorker(AFX_THREADPROC worker, TransferJob& job);
    void ReapEndedWorkers();
    // After JobControl::BeginClose: waits for every worker to end (FinishClose), then lets go
    // of their threads.
    void WaitForWorkers();

    JobControl jobs_;
    std::vector<std::unique_ptr<CWinThread>> workers_;  // window thread only
};
