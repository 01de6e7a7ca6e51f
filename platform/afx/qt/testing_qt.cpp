// Test hooks of the Qt backend.
#include <afx_testing.h>
#include <afx_wnd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMetaObject>

#include "../common/backend.h"
#include "bus_watcher.h"
#include "modal_stack.h"
#include "program_qt.h"
#include "window_table.h"

namespace afx::testing {

void OnNextDialogShown(std::function<void(CDialog&)> fn) { afx::qt::SetShownCallback(std::move(fn)); }

CDialog* ActiveDialog() {
    const auto open = afx::qt::OpenDialogs();
    if (open.empty()) return nullptr;
    auto rec = afx::qt::FindWindow(open.back());
    return rec ? rec->owner : nullptr;
}

void PostToDialog(CDialog& dlg, UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND handle = dlg.GetSafeHwnd();
    auto rec = afx::qt::FindWindow(handle);
    if (!rec || !rec->widget) return;
    QMetaObject::invokeMethod(
        rec->widget.data(), [=] { afx::qt::DeliverToDialog(handle, message, wParam, lParam); },
        Qt::QueuedConnection);
}

void SimulateDeviceChange() {
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            app, [] { afx::qt::BroadcastDeviceChange(); }, Qt::QueuedConnection);
}

bool ServeEventsUntil(const std::function<bool()>& pred, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!pred()) {
        if (deadline.hasExpired()) return pred();
        afx::backend::ServePendingCalls();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        afx::backend::WaitForPendingCall(2);
    }
    return true;
}

}  // namespace afx::testing
