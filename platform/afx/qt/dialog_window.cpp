#include "dialog_window.h"

#include <afx_wnd.h>

#include <QCloseEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include "../common/backend.h"
#include "gbk_text.h"
#include "images.h"
#include "window_table.h"

namespace afx::qt {
namespace {

using afx::detail::WndAccess;

int MulDiv(int a, int b, int c) {
    const long long p = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(p >= 0 ? (p + half) / c : (p - half) / c);
}

// Windows draws "&x" as an underlined x and "&&" as "&" in statics.
QString StripPrefix(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) ++i;
        out += text[i];
    }
    return out;
}

bool IsTextStatic(const afx::ControlTemplate& c) {
    if (c.cls != afx::ControlClass::Static) return false;
    const DWORD type = c.style & SS_TYPEMASK;
    return type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT || type == SS_SIMPLE ||
           type == SS_LEFTNOWORDWRAP;
}

Kind KindOf(const afx::ControlTemplate& c) {
    switch (c.cls) {
        case afx::ControlClass::Button:
            return (c.style & BS_TYPEMASK) == BS_GROUPBOX ? Kind::GroupBox : Kind::PushButton;
        case afx::ControlClass::Edit:
            return (c.style & ES_MULTILINE) ? Kind::TextEdit : Kind::LineEdit;
        case afx::ControlClass::Static:
            switch (c.style & SS_TYPEMASK) {
                case SS_ICON:
                    return Kind::IconStatic;
                case SS_BITMAP:
                    return Kind::BitmapStatic;
                default:
                    return IsTextStatic(c) ? Kind::TextStatic : Kind::RectStatic;
            }
    }
    return Kind::TextStatic;
}

QWidget* MakeRect(DWORD type, QWidget* parent) {
    auto* frame = new QFrame(parent);
    QPalette pal = frame->palette();
    switch (type) {
        case SS_ETCHEDHORZ:
            frame->setFrameStyle(QFrame::HLine | QFrame::Sunken);
            return frame;
        case SS_ETCHEDVERT:
            frame->setFrameStyle(QFrame::VLine | QFrame::Sunken);
            return frame;
        case SS_ETCHEDFRAME:
            frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
            return frame;
        case SS_BLACKRECT:
        case SS_GRAYRECT:
        case SS_WHITERECT: {
            const QColor color = type == SS_BLACKRECT   ? QColor(Qt::black)
                                 : type == SS_WHITERECT ? QColor(Qt::white)
                                                        : QColor(128, 128, 128);
            pal.setColor(QPalette::Window, color);
            frame->setPalette(pal);
            frame->setAutoFillBackground(true);
            return frame;
        }
        default: {  // the frame variants
            const QColor color = type == SS_BLACKFRAME   ? QColor(Qt::black)
                                 : type == SS_WHITEFRAME ? QColor(Qt::white)
                                                         : QColor(128, 128, 128);
            pal.setColor(QPalette::WindowText, color);
            frame->setPalette(pal);
            frame->setFrameStyle(QFrame::Box | QFrame::Plain);
            return frame;
        }
    }
}

}  // namespace

QFont DialogFont(const afx::DialogTemplate& tmpl) {
    QFont font(FromGbk(CString(tmpl.fontFace ? tmpl.fontFace : "")));
    font.setPixelSize(MulDiv(tmpl.fontPointSize > 0 ? tmpl.fontPointSize : 9, 96, 72));
    return font;
}

BaseUnits BaseUnitsOf(const QFont& font) {
    const QFontMetrics fm(font);
    const int extent =
        fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return BaseUnits{(extent / 26 + 1) / 2, fm.height()};
}

int DialogUnitsToPixelsX(int du, const BaseUnits& units) { return MulDiv(du, units.cx, 4); }
int DialogUnitsToPixelsY(int du, const BaseUnits& units) { return MulDiv(du, units.cy, 8); }

DialogWindow::DialogWindow(CDialog& owner, const afx::DialogTemplate& tmpl, QWidget* parent)
    : QDialog(parent), owner_(owner) {
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint;
    if (tmpl.style & WS_CAPTION) flags |= Qt::WindowTitleHint;
    if (tmpl.style & WS_SYSMENU) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (tmpl.style & WS_MINIMIZEBOX) flags |= Qt::WindowMinimizeButtonHint;
    if (tmpl.style & WS_MAXIMIZEBOX) flags |= Qt::WindowMaximizeButtonHint;
    setWindowFlags(flags);
    setModal(true);
    setSizeGripEnabled(false);

    const QFont font = DialogFont(tmpl);
    setFont(font);
    units_ = BaseUnitsOf(font);
    setFixedSize(DialogUnitsToPixelsX(tmpl.cx, units_), DialogUnitsToPixelsY(tmpl.cy, units_));

    auto record = std::make_shared<Window>();
    record->kind = Kind::Dialog;
    record->id = static_cast<int>(owner.GetTemplateId());
    record->style = tmpl.style;
    record->owner = &owner;
    record->widget = this;
    record->text = CString(tmpl.caption ? tmpl.caption : "");
    handle_ = AddWindow(record);
    setWindowTitle(FromGbk(record->text));
    setObjectName(QString::number(record->id));
    setAccessibleDescription(QStringLiteral("id=%1").arg(record->id));

    Build(tmpl);
    WndAccess::SetHandle(owner, handle_);
}

DialogWindow::~DialogWindow() {
    for (HBITMAP bitmap : ownBitmaps_) DeleteBitmapObject(bitmap);  // refuses those the program deleted
}

void DialogWindow::Build(const afx::DialogTemplate& tmpl) {
    controls_.reserve(tmpl.controls.size());
    QWidget* previousTabStop = nullptr;
    for (size_t i = 0; i < tmpl.controls.size(); ++i) {
        const afx::ControlTemplate& c = tmpl.controls[i];
        QWidget* widget = MakeControl(c, i, tmpl);
        if ((c.style & WS_TABSTOP) && widget->focusPolicy() != Qt::NoFocus) {
            if (previousTabStop) QWidget::setTabOrder(previousTabStop, widget);
            previousTabStop = widget;
        }
    }
}

QWidget* DialogWindow::MakeControl(const afx::ControlTemplate& c, size_t index,
                                   const afx::DialogTemplate& tmpl) {
    auto record = std::make_shared<Window>();
    record->dialog = handle_;
    record->kind = KindOf(c);
    record->id = c.id;
    record->style = c.style;
    record->text = CString(c.text ? c.text : "");
    const QString text = FromGbk(record->text);
    const bool tabStop = (c.style & WS_TABSTOP) != 0;
    const bool border = (c.style & WS_BORDER) || (c.exStyle & WS_EX_CLIENTEDGE);

    QWidget* widget = nullptr;
    switch (record->kind) {
        case Kind::PushButton: {
            auto* button = new QPushButton(text, this);
            button->setAutoDefault(false);
            button->setDefault(false);
            if ((c.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) defaultId_ = c.id;
            widget = button;
            break;
        }
        case Kind::GroupBox: {
            auto* box = new QGroupBox(text, this);
            box->setFocusPolicy(Qt::NoFocus);
            widget = box;
            break;
        }
        case Kind::LineEdit: {
            auto* edit = new QLineEdit(this);
            edit->setFrame(border);
            edit->setReadOnly(c.style & ES_READONLY);
            if (c.style & ES_PASSWORD) edit->setEchoMode(QLineEdit::Password);
            const DWORD align = c.style & (ES_CENTER | ES_RIGHT);
            edit->setAlignment(align == ES_CENTER  ? Qt::AlignHCenter
                               : align == ES_RIGHT ? Qt::AlignRight
                                                   : Qt::AlignLeft);
            edit->setText(text);
            widget = edit;
            break;
        }
        case Kind::TextEdit: {
            auto* edit = new QPlainTextEdit(this);
            if (!border) edit->setFrameStyle(QFrame::NoFrame);
            edit->setVerticalScrollBarPolicy((c.style & WS_VSCROLL) ? Qt::ScrollBarAlwaysOn
                                                                    : Qt::ScrollBarAlwaysOff);
            edit->setHorizontalScrollBarPolicy((c.style & WS_HSCROLL) ? Qt::ScrollBarAlwaysOn
                                                                      : Qt::ScrollBarAlwaysOff);
            const bool wrap = !(c.style & (ES_AUTOHSCROLL | WS_HSCROLL));
            edit->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
            edit->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
            edit->setTabChangesFocus(true);
            edit->setReadOnly(c.style & ES_READONLY);
            edit->document()->setDocumentMargin(2);  // an edit's text starts close to its frame
            edit->setPlainText(text);
            widget = edit;
            break;
        }
        case Kind::TextStatic: {
            auto* label = new QLabel((c.style & SS_NOPREFIX) ? text : StripPrefix(text), this);
            label->setTextFormat(Qt::PlainText);
            label->setMargin(0);
            label->setIndent(0);
            const DWORD type = c.style & SS_TYPEMASK;
            label->setWordWrap(type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT);
            Qt::Alignment align = type == SS_CENTER  ? Qt::AlignHCenter
                                  : type == SS_RIGHT ? Qt::AlignRight
                                                     : Qt::AlignLeft;
            align |= (c.style & SS_CENTERIMAGE) ? Qt::AlignVCenter : Qt::AlignTop;
            label->setAlignment(align);
            widget = label;
            break;
        }
        case Kind::IconStatic: {
            auto* label = new QLabel(this);
            record->icon = LoadIconResource(c.image);
            if (QImage image = IconImage(record->icon, 32); !image.isNull())
                label->setPixmap(QPixmap::fromImage(image));
            widget = label;
            break;
        }
        case Kind::BitmapStatic: {
            auto* label = new QLabel(this);
            record->bitmap = LoadBitmapResource(c.image);
            if (record->bitmap) ownBitmaps_.push_back(record->bitmap);
            if (QImage image = BitmapImage(record->bitmap); !image.isNull())
                label->setPixmap(QPixmap::fromImage(image));
            widget = label;
            break;
        }
        case Kind::RectStatic:
            widget = MakeRect(c.style & SS_TYPEMASK, this);
            break;
        case Kind::Dialog:
            break;
    }

    const bool focusable =
        record->kind == Kind::PushButton || record->kind == Kind::LineEdit || record->kind == Kind::TextEdit;
    if (!focusable) {
        widget->setFocusPolicy(Qt::NoFocus);
    } else {
        widget->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::ClickFocus);
    }

    QRect geometry(DialogUnitsToPixelsX(c.x, units_), DialogUnitsToPixelsY(c.y, units_),
                   DialogUnitsToPixelsX(c.cx, units_), DialogUnitsToPixelsY(c.cy, units_));
    // An image static takes the size of its image, as on Windows.
    if ((record->kind == Kind::IconStatic || record->kind == Kind::BitmapStatic) &&
        !(c.style & SS_CENTERIMAGE)) {
        auto* label = static_cast<QLabel*>(widget);
        if (!label->pixmap().isNull()) geometry.setSize(label->pixmap().size());
    }
    widget->setGeometry(geometry);
    widget->setEnabled(!(c.style & WS_DISABLED));
    widget->setObjectName(QString::number(c.id));
    widget->setAccessibleDescription(QStringLiteral("id=%1").arg(c.id));

    // An edit is named after the label just before it in the template.
    if (c.cls == afx::ControlClass::Edit && index > 0) {
        const afx::ControlTemplate& before = tmpl.controls[index - 1];
        if (IsTextStatic(before) || KindOf(before) == Kind::GroupBox)
            widget->setAccessibleName(
                StripPrefix(FromGbk(CString(before.text ? before.text : ""))).trimmed());
    }

    record->widget = widget;
    const HWND handle = AddWindow(record);
    controls_.push_back(Control{&c, widget, handle});
    if (c.id != IDC_STATIC) WndAccess::SetHandle(WndAccess::Child(owner_, c.id), handle);

    const int id = c.id;
    switch (record->kind) {
        case Kind::PushButton:
            connect(static_cast<QPushButton*>(widget), &QPushButton::clicked, this,
                    [this, id, handle] { Notify(id, BN_CLICKED, handle); });
            break;
        case Kind::LineEdit:
            widget->installEventFilter(this);
            connect(static_cast<QLineEdit*>(widget), &QLineEdit::textChanged, this,
                    [this, id, handle] { Notify(id, EN_CHANGE, handle); });
            break;
        case Kind::TextEdit:
            if (!(c.style & ES_WANTRETURN)) widget->installEventFilter(this);
            connect(static_cast<QPlainTextEdit*>(widget), &QPlainTextEdit::textChanged, this,
                    [this, id, handle] { Notify(id, EN_CHANGE, handle); });
            break;
        default:
            break;
    }
    return widget;
}

void DialogWindow::FocusFirstTabStop() {
    for (const Control& c : controls_) {
        if (!(c.tmpl->style & WS_TABSTOP) || c.widget->focusPolicy() == Qt::NoFocus) continue;
        if (!c.widget->isEnabled()) continue;
        c.widget->setFocus(Qt::TabFocusReason);
        return;
    }
}

int DialogWindow::RunModalLoop() {
    if (ended_) return result_;
    running_ = true;
    const int r = exec();
    running_ = false;
    return ended_ ? result_ : r;
}

void DialogWindow::End(int result) {
    if (ended_) return;
    ended_ = true;
    result_ = result;
    if (running_) {
        QDialog::done(result);
    } else {
        hide();
    }
}

void DialogWindow::Command(int id) {
    if (!FindWindow(handle_)) return;
    WndAccess::Deliver(owner_, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

void DialogWindow::Notify(int id, UINT code, HWND control) {
    if (!FindWindow(control)) return;
    WndAccess::Deliver(owner_, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
}

// Enter presses the focused push button; anywhere else it sends the default
// button's command, or IDOK when the dialog has no default button.
void DialogWindow::Enter() {
    if (auto* button = qobject_cast<QPushButton*>(focusWidget()); button && button->isEnabled()) {
        button->click();
        return;
    }
    Command(defaultId_);
}

void DialogWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (event->modifiers() & ~Qt::KeypadModifier) break;
            Enter();
            return;
        case Qt::Key_Escape:
            if (event->modifiers() != Qt::NoModifier) break;
            Command(IDCANCEL);
            return;
        default:
            break;
    }
    QDialog::keyPressEvent(event);
}

bool DialogWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            !(key->modifiers() & ~Qt::KeypadModifier)) {
            Enter();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void DialogWindow::closeEvent(QCloseEvent* event) {
    // The close box is the system menu's Close command.
    if (FindWindow(handle_) && !ended_) WndAccess::Deliver(owner_, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (ended_) {
        event->accept();
    } else {
        event->ignore();
    }
}

void DialogWindow::reject() { Command(IDCANCEL); }

void DialogWindow::accept() { Command(IDOK); }

void DialogWindow::paintEvent(QPaintEvent* event) {
    if (!FindWindow(handle_) || !WndAccess::Handles(owner_, WM_PAINT)) {
        QDialog::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter_ = &painter;
    WndAccess::Deliver(owner_, WM_PAINT, 0, 0);
    painter_ = nullptr;
}

}  // namespace afx::qt
