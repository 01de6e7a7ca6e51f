// Window operations of the Qt backend (window thread, live handles).
#include <afx_wnd.h>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>

#include "../common/backend.h"
#include "dialog_window.h"
#include "gbk_text.h"
#include "images.h"
#include "window_table.h"

namespace afx::backend {
namespace {

using afx::qt::Kind;

QString StripPrefix(const QString& text) {
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) ++i;
        out += text[i];
    }
    return out;
}

// Multi-line edits hold "\r\n" line ends as seen by the program, "\n" inside Qt.
QString ToEditText(const CString& text) {
    QString s = afx::qt::FromGbk(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(u'\r', u'\n');
    return s;
}

CString FromEditText(QString s) {
    s.replace(u'\n', QStringLiteral("\r\n"));
    return afx::qt::ToGbk(s);
}

struct PaintContext {
    HWND window;
    QPainter* painter;
};
thread_local PaintContext* g_paint = nullptr;

}  // namespace

bool CallOnWindowThread(HWND hwnd, const std::function<void()>& fn) {
    return afx::qt::CallOnWindowThread(hwnd, fn);
}

void ServePendingCalls() { afx::qt::ServePendingCalls(); }

void WaitForPendingCall(DWORD ms) { afx::qt::WaitForPendingCall(ms); }

DWORD WaitForObjectsOrCall(DWORD count, const HANDLE* handles, DWORD ms) {
    return afx::qt::WaitForObjectsOrCall(count, handles, ms);
}

void EndModal(HWND dlg, int result) {
    auto rec = afx::qt::FindWindow(dlg);
    if (!rec || rec->kind != Kind::Dialog || !rec->widget) return;
    static_cast<afx::qt::DialogWindow*>(rec->widget.data())->End(result);
}

void SetText(HWND hwnd, const CString& text) {
    auto rec = afx::qt::FindWindow(hwnd);
    if (!rec || !rec->widget) return;
    QWidget* w = rec->widget;
    switch (rec->kind) {
        case Kind::LineEdit:
            static_cast<QLineEdit*>(w)->setText(afx::qt::FromGbk(text));
            return;
        case Kind::TextEdit:
            static_cast<QPlainTextEdit*>(w)->setPlainText(ToEditText(text));
            return;
        case Kind::Dialog:
            w->setWindowTitle(afx::qt::FromGbk(text));
            break;
        case Kind::PushButton:
            static_cast<QPushButton*>(w)->setText(afx::qt::FromGbk(text));
            break;
        case Kind::GroupBox:
            static_cast<QGroupBox*>(w)->setTitle(afx::qt::FromGbk(text));
            break;
        case Kind::TextStatic: {
            const QString s = afx::qt::FromGbk(text);
            static_cast<QLabel*>(w)->setText((rec->style & SS_NOPREFIX) ? s : StripPrefix(s));
            break;
        }
        default:
            break;
    }
    rec->text = text;
}

CString GetText(HWND hwnd) {
    auto rec = afx::qt::FindWindow(hwnd);
    if (!rec || !rec->widget) return CString();
    switch (rec->kind) {
        case Kind::LineEdit:
            return afx::qt::ToGbk(static_cast<QLineEdit*>(rec->widget.data())->text());
        case Kind::TextEdit:
            return FromEditText(static_cast<QPlainTextEdit*>(rec->widget.data())->toPlainText());
        default:
            return rec->text;
    }
}

bool Enable(HWND hwnd, bool enable) {
    auto rec = afx::qt::FindWindow(hwnd);
    if (!rec || !rec->widget) return false;
    const bool wasDisabled = rec->widget->testAttribute(Qt::WA_ForceDisabled);
    rec->widget->setEnabled(enable);
    return wasDisabled;
}

bool IsEnabled(HWND hwnd) {
    auto rec = afx::qt::FindWindow(hwnd);
    return rec && rec->widget && !rec->widget->testAttribute(Qt::WA_ForceDisabled);
}

bool IsDialog(HWND hwnd) {
    auto rec = afx::qt::FindWindow(hwnd);
    return rec && rec->kind == Kind::Dialog;
}

LRESULT ControlMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto rec = afx::qt::FindWindow(hwnd);
    if (!rec || !rec->widget) return 0;
    if (IsTextMessage(message)) return TextMessage(hwnd, message, wParam, lParam);
    switch (message) {
        case STM_SETIMAGE:
        case STM_GETIMAGE: {
            auto* label = qobject_cast<QLabel*>(rec->widget.data());
            if (!label || (rec->kind != Kind::BitmapStatic && rec->kind != Kind::IconStatic)) return 0;
            const bool bitmap = wParam == IMAGE_BITMAP;
            const LRESULT previous =
                bitmap ? reinterpret_cast<LRESULT>(rec->bitmap) : reinterpret_cast<LRESULT>(rec->icon);
            if (message == STM_GETIMAGE) return previous;
            QImage image;
            if (bitmap) {
                rec->bitmap = reinterpret_cast<HBITMAP>(lParam);
                image = afx::qt::BitmapImage(rec->bitmap);
            } else if (wParam == IMAGE_ICON) {
                rec->icon = reinterpret_cast<HICON>(lParam);
                image = afx::qt::IconImage(rec->icon, 32);
            } else {
                return 0;
            }
            label->setPixmap(image.isNull() ? QPixmap() : QPixmap::fromImage(image));
            if (!image.isNull() && !(rec->style & SS_CENTERIMAGE)) label->resize(image.size());
            return previous;
        }
        default:
            return 0;
    }
}

LRESULT DefaultDialogMessage(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam) {
    auto rec = afx::qt::FindWindow(dlg);
    if (!rec || !rec->widget || !rec->owner) return 0;
    if (IsTextMessage(message)) return TextMessage(dlg, message, wParam, lParam);
    switch (message) {
        case WM_SYSCOMMAND:
            switch (wParam & 0xFFF0) {
                case SC_CLOSE:
                    return afx::detail::WndAccess::Deliver(*rec->owner, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0),
                                                           0);
                case SC_MINIMIZE:
                    rec->widget->showMinimized();
                    return 0;
                case SC_RESTORE:
                    rec->widget->showNormal();
                    return 0;
                default:
                    return 0;
            }
        case WM_CLOSE:
            return afx::detail::WndAccess::Deliver(*rec->owner, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
        case WM_SETICON:
            return reinterpret_cast<LRESULT>(
                SetIcon(dlg, reinterpret_cast<HICON>(lParam), wParam == ICON_BIG));
        case WM_DEVICECHANGE:
            return TRUE;
        default:
            return 0;
    }
}

int ShowMessageBox(HWND owner, const CString& text, const CString& caption, UINT type) {
    auto rec = afx::qt::FindWindow(owner);
    if (!rec) return 0;
    QWidget* parent = nullptr;
    if (auto dialog = afx::qt::FindWindow(rec->dialog)) parent = dialog->widget;

    QMessageBox box(parent);
    box.setWindowTitle(afx::qt::FromGbk(caption));
    box.setText(afx::qt::FromGbk(text));
    box.setTextFormat(Qt::PlainText);
    switch (type & MB_ICONMASK) {
        case MB_ICONERROR:
            box.setIcon(QMessageBox::Critical);
            break;
        case MB_ICONQUESTION:
            box.setIcon(QMessageBox::Question);
            break;
        case MB_ICONWARNING:
            box.setIcon(QMessageBox::Warning);
            break;
        case MB_ICONINFORMATION:
            box.setIcon(QMessageBox::Information);
            break;
        default:
            box.setIcon(QMessageBox::NoIcon);
            break;
    }
    struct Choice {
        QMessageBox::StandardButton button;
        int id;
        const char* label;
    };
    static const Choice kOk{QMessageBox::Ok, IDOK, "确定"}, kCancel{QMessageBox::Cancel, IDCANCEL, "取消"},
        kYes{QMessageBox::Yes, IDYES, "是(&Y)"}, kNo{QMessageBox::No, IDNO, "否(&N)"};
    std::vector<Choice> choices;
    switch (type & MB_TYPEMASK) {
        case MB_OKCANCEL:
            choices = {kOk, kCancel};
            break;
        case MB_YESNO:
            choices = {kYes, kNo};
            break;
        case MB_YESNOCANCEL:
            choices = {kYes, kNo, kCancel};
            break;
        default:
            choices = {kOk};
            break;
    }
    for (const Choice& c : choices) box.addButton(c.button)->setText(QString::fromUtf8(c.label));
    box.setDefaultButton(choices.front().button);
    // Esc answers Cancel where there is one, and OK in a box that has only OK.
    if (choices.size() == 1) box.setEscapeButton(choices.front().button);
    if (std::any_of(choices.begin(), choices.end(), [](const Choice& c) { return c.id == IDCANCEL; }))
        box.setEscapeButton(QMessageBox::Cancel);
    box.exec();
    const auto clicked = box.standardButton(box.clickedButton());
    for (const Choice& c : choices)
        if (c.button == clicked) return c.id;
    return choices.size() == 1 ? IDOK : IDCANCEL;
}

HICON SetIcon(HWND dlg, HICON icon, bool big) {
    auto rec = afx::qt::FindWindow(dlg);
    if (!rec || !rec->widget || rec->kind != Kind::Dialog) return nullptr;
    HICON& slot = big ? rec->bigIcon : rec->smallIcon;
    HICON previous = slot;
    slot = icon;
    QIcon qicon;
    for (HICON h : {rec->bigIcon, rec->smallIcon})
        if (QImage image = afx::qt::IconImage(h, h == rec->bigIcon ? 32 : 16); !image.isNull())
            qicon.addPixmap(QPixmap::fromImage(image));
    rec->widget->setWindowIcon(qicon);
    return previous;
}

bool IsIconic(HWND hwnd) {
    auto rec = afx::qt::FindWindow(hwnd);
    return rec && rec->widget && rec->widget->isMinimized();
}

RECT ClientRect(HWND hwnd) {
    auto rec = afx::qt::FindWindow(hwnd);
    if (!rec || !rec->widget) return RECT{0, 0, 0, 0};
    return RECT{0, 0, rec->widget->width(), rec->widget->height()};
}

HDC BeginPaint(HWND hwnd) {
    auto rec = afx::qt::FindWindow(hwnd);
    if (!rec || rec->kind != Kind::Dialog || !rec->widget || g_paint) return nullptr;
    QPainter* painter = static_cast<afx::qt::DialogWindow*>(rec->widget.data())->activePainter();
    if (!painter) return nullptr;
    g_paint = new PaintContext{hwnd, painter};
    return reinterpret_cast<HDC>(g_paint);
}

void EndPaint(HWND, HDC dc) {
    if (dc && reinterpret_cast<PaintContext*>(dc) == g_paint) {
        delete g_paint;
        g_paint = nullptr;
    }
}

HICON LoadIcon(int id) { return afx::qt::LoadIconResource(id); }

HBITMAP LoadBitmap(int id) { return afx::qt::LoadBitmapResource(id); }

bool DeleteBitmap(HBITMAP bitmap) { return afx::qt::DeleteBitmapObject(bitmap); }

bool DrawIcon(HDC dc, int x, int y, HICON icon) {
    if (!dc || reinterpret_cast<PaintContext*>(dc) != g_paint) return false;
    const QImage image = afx::qt::IconImage(icon, SystemMetric(SM_CXICON));
    if (image.isNull()) return false;
    g_paint->painter->drawImage(x, y, image);
    return true;
}

int SystemMetric(int index) {
    switch (index) {
        case SM_CXICON:
        case SM_CYICON:
            return 32;
        case SM_CXSMICON:
        case SM_CYSMICON:
            return 16;
        default:
            return 0;
    }
}

}  // namespace afx::backend
