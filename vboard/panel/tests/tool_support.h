// Running one of the tools' dialogs in this process beside a panel: what the user sees of it.
#pragma once

#include <afx_testing.h>
#include <afxwin.h>

#include <QApplication>
#include <QDialog>
#include <QString>
#include <functional>

namespace vboard::panel::test {

// The tool's dialog while its modal loop runs.
inline QDialog* ShownDialog() { return qobject_cast<QDialog*>(QApplication::activeModalWidget()); }

// A control of the shown dialog by its number.
template <typename W = QWidget>
W* Control(int id) {
    QDialog* shown = ShownDialog();
    return shown ? shown->findChild<W*>(QString::number(id), Qt::FindDirectChildrenOnly) : nullptr;
}

inline QString Title(CWnd& dialog) {
    CString text;
    dialog.GetWindowText(text);
    return QString::fromLatin1(static_cast<LPCSTR>(text));
}

// Serves the window's events and the workers' calls until pred() holds (generous time-out).
inline bool ToolUntil(const std::function<bool()>& pred) {
    return afx::testing::ServeEventsUntil(pred, 20000);
}

// Runs the dialog modally; `body` runs inside its modal loop, which is then ended through Cancel
// unless the body ended it.
inline void RunDialog(CDialog& dialog, const std::function<void()>& body) {
    afx::testing::OnNextDialogShown([&](CDialog&) {
        body();
        if (ShownDialog() && ShownDialog()->isVisible()) dialog.SendMessage(WM_COMMAND, IDCANCEL);
    });
    dialog.DoModal();
}

inline const QString kNoBoardTitle = QStringLiteral("No Board Attached ");

}  // namespace vboard::panel::test
