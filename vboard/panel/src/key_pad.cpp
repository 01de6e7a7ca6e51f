#include "key_pad.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace vboard::panel {

KeyButton::KeyButton(int key, QWidget* parent) : QWidget(parent), key_(key) {
    setObjectName(QStringLiteral("key%1").arg(key));
    setToolTip(tr("Key %1 (keyboard: %1); hold the mouse button to hold the key").arg(key + 1));
    setAccessibleName(tr("Key %1").arg(key + 1));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
}

void KeyButton::SetLit(bool lit) {
    if (lit == lit_) return;
    lit_ = lit;
    update();
}

QSize KeyButton::sizeHint() const {
    const int side = std::max(44, fontMetrics().height() * 3);
    return {side, side + fontMetrics().height() / 2};
}

void KeyButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF cap = QRectF(rect()).adjusted(2, 2, -2, -2);
    const QColor face = mouseDown_ ? QColor(0x9a, 0x9a, 0x9a) : QColor(0xc8, 0xc8, 0xc8);
    p.setPen(QPen(QColor(0x55, 0x55, 0x55), 1.2));
    p.setBrush(face);
    p.drawRoundedRect(cap, 6, 6);

    // The lamp in the upper part, the key's number below it.
    const qreal r = cap.width() * 0.17;
    const QPointF centre(cap.center().x(), cap.top() + cap.height() * 0.32);
    p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1));
    p.setBrush(lit_ ? QColor(0xff, 0x2a, 0x1a) : QColor(0x2e, 0x8b, 0x3a));
    p.drawEllipse(centre, r, r);
    if (lit_) {  // a halo, so a lit key stands out at a glance
        p.setPen(QPen(QColor(0xff, 0x60, 0x40, 0x90), 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(centre, r + 3, r + 3);
    }
    QFont f = font();
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::black);
    const QRectF label(cap.left(), cap.top() + cap.height() * 0.55, cap.width(), cap.height() * 0.42);
    p.drawText(label, Qt::AlignCenter, QString::number(key_ + 1));
}

void KeyButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || mouseDown_) return;
    mouseDown_ = true;
    update();
    emit pressed(key_);
}

void KeyButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !mouseDown_) return;
    mouseDown_ = false;
    update();
    emit released(key_);
}

KeyPad::KeyPad(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    for (int k = 0; k < kKeyCount; ++k) {
        buttons_[k] = new KeyButton(k, this);
        row->addWidget(buttons_[k]);
        connect(buttons_[k], &KeyButton::pressed, this, [this](int key) { emit keyChanged(key, true); });
        connect(buttons_[k], &KeyButton::released, this, [this](int key) { emit keyChanged(key, false); });
    }
    row->addStretch();
}

void KeyPad::SetHeld(std::uint8_t heldKeys) {
    for (int k = 0; k < kKeyCount; ++k) buttons_[k]->SetLit((heldKeys >> k) & 1);
}

}  // namespace vboard::panel
