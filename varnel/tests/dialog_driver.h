// Runs Varnel's main dialog in-process and drives it as a user would: typing into fields,
// clicking buttons that are enabled, answering message boxes.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "varnel_controls.h"
#include "varnel_dlg.h"

// The dialog with the ends of its jobs and its detections counted.
class RecordingDlg : public CVarnelDlg {
  public:
    // A worker's last call: its job has ended (and given the buttons back if it held them).
    void JobEnded(int ticket) override;
    int JobsEnded() const;

    // A worker's report of a failure, counted as it leaves the worker (before the window takes it).
    void ShowTransferFailure(const char* text) override;
    int FailuresReported() const { return failuresReported_; }

    // Counts the detections; runs the hooks, when set, on the window's thread around each.
    void DetectBoard() override;
    int Detections() const { return detections_; }
    std::function<void()> beforeDetection, afterDetection;

    // Counts the device-change notifications the window received.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    int DeviceChanges() const { return deviceChanges_; }

  private:
    mutable std::mutex lock_;
    int jobsEnded_ = 0;
    std::atomic<int> detections_{0};
    std::atomic<int> deviceChanges_{0};
    std::atomic<int> failuresReported_{0};
};

struct ShownBox {
    std::string text;  // GBK, as the dialog passed it
    std::string caption;
    UINT type = 0;
};

class DialogDriver {
  public:
    // Replaces message boxes with a recorder for the driver's lifetime.
    DialogDriver();
    ~DialogDriver();
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    // Runs dlg modally; `script` runs on the window's thread once the dialog shows. A dialog
    // the script leaves open is closed as the close box does. Returns DoModal's result.
    INT_PTR Run(CVarnelDlg& dlg, const std::function<void(CVarnelDlg&)>& script);

    // Called on the window's thread for every message box, before it is recorded as answered.
    void OnBox(std::function<void(const ShownBox&)> handler);
    std::vector<ShownBox> Boxes() const;
    std::size_t BoxCount() const;

  private:
    mutable std::mutex lock_;
    std::vector<ShownBox> boxes_;
    std::function<void(const ShownBox&)> handler_;
};

// Sets a control's text as typing it would (edit-change handlers run).
void Type(CVarnelDlg& dlg, int id, const std::string& text);
std::string Text(CVarnelDlg& dlg, int id);
bool Enabled(CVarnelDlg& dlg, int id);
// All four transfer buttons on, or all four off.
bool ButtonsOn(CVarnelDlg& dlg);
bool ButtonsOff(CVarnelDlg& dlg);
// Clicks a button; a disabled button cannot be clicked, which fails the test.
void Click(CVarnelDlg& dlg, int id);
// The close box.
void CloseBox(CVarnelDlg& dlg);
// Enter in the field with this id; its text must be one no other field of the dialog shows.
void PressEnterIn(CVarnelDlg& dlg, int id);
// Clicks the button and serves events until the job it starts has ended.
void RunJob(RecordingDlg& dlg, int button);
// Serves the window's events until the condition holds (generous time-out); returns it.
bool WaitFor(const std::function<bool()>& condition);
// The window's title.
std::string Title(CVarnelDlg& dlg);
