// Tesmor's main window: eight key lamps and the board's clock, kept current by the status
// poller, and a value field whose Modify button sends the value to the board's display.
#pragma once

#include <afxwin.h>

#include <atomic>
#include <memory>
#include <vector>

#include "digit_writer.h"
#include "io_cancel.h"
#include "poll_worker.h"
#include "tool_shell.h"
#include "worker_owner.h"

class CTesmorDlg : public CToolDlg, private WorkerOwner {
  public:
    explicit CTesmorDlg(CWnd* pParent = nullptr);
    ~CTesmorDlg() override;

    // Names the board in the title and enables Modify when a known board is there; starts
    // the status poller for a new connection. While the connection is on and its poller
    // still runs, only checks that the device still opens.
    void DetectBoard() override;

    CString valueText;     // text of the value field
    CBitmap idleBitmap;    // bitmap 129
    CBitmap activeBitmap;  // bitmap 130
    // The board connection is on and the poller may run. Written on the window's thread,
    // read by the poller.
    std::atomic<bool> running{false};
    // The current connection's poller record. Each poller has a record of its own: one that a
    // detection had to leave behind (its read stuck in a driver that completes nothing) keeps
    // its record, and the next poller never shares its buffer or flag.
    std::unique_ptr<PollJob> pollJob;
    // The device handle detection opens to see that a connected board is still there, while
    // it is open; nullptr otherwise (it never holds the value of a closed handle).
    HANDLE device = nullptr;
    CWinThread* pollThread = nullptr;  // the current poller; kept (not auto-deleted) until it has ended
    // The window's record of the last value accepted for the display. No writer reads it: each
    // gets a record of its own (a later click cannot change what an earlier writer sends).
    DigitJob digitJob;

  protected:
    void InitTool() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;
    void OnCancel() override;
    bool Closing() const override { return closing_.load(); }

    afx_msg void OnModify();
    afx_msg LRESULT OnWorkerFailure(WPARAM, LPARAM text);
    DECLARE_MESSAGE_MAP()

  private:
    struct Writer {
        std::unique_ptr<DigitJob> job;
        CWinThread* thread;
    };
    // A poller a detection stopped but could not wait for: its read is still in the driver.
    struct StrandedPoller {
        std::unique_ptr<PollJob> job;
        CWinThread* thread;
    };

    void DetectOnce();
    void StartPoller();
    // Ends the connection's poller: cancels its read and waits for it, serving its calls, as
    // long as a close would (kCloseWaitMs). A poller still running then is left behind with
    // its record; the close's bound covers it.
    void StopPoller();
    void StartWriter(const DigitRecord& digits);
    void ReleaseFinishedWriters();
    // Tells every worker to stop and cancels their pending transfers.
    void StopWorkers();
    // Waits for every worker to end, cancelling again while they have not, within the close's
    // bound (CToolDlg::FinishClose).
    void WaitForWorkers();

    // WorkerOwner
    bool Running() const override;
    void UpdateStatusDisplay(const StatusReport& report) override;
    void ShowWorkerFailure(const char* text) override;

    IoCanceller pollCanceller_;   // the poller's PIPE00 handle
    IoCanceller writeCanceller_;  // the digit writers' PIPE01 handles
    std::vector<Writer> writers_;
    std::vector<StrandedPoller> strandedPollers_;
    std::atomic<bool> closing_{false};  // written on the window's thread, read by the workers too
    bool detecting_ = false;
    bool detectAgain_ = false;
};
