#include "seven_segment.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace vboard::panel {
namespace {

constexpr std::uint8_t kHexSegments[16] = {
    0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07,  // 0-7
    0x7F, 0x6F, 0x77, 0x7C, 0x39, 0x5E, 0x79, 0x71,  // 8, 9, A, b, C, d, E, F
};
constexpr std::uint8_t kMiddleBar = 0x40;

// One digit cell, in units of a 10 x 18 grid with a 1.4-unit stroke.
constexpr qreal kCellW = 10, kCellH = 18, kStroke = 1.4, kGap = 0.25;
constexpr qreal kSpacing = 3;  // between digit cells
constexpr qreal kMargin = 2;

QPainterPath Segment(QPointF from, QPointF to) {
    // A horizontal or vertical bar with pointed ends.
    const qreal h = kStroke / 2;
    QPainterPath path;
    if (from.y() == to.y()) {
        const qreal x0 = from.x() + kGap, x1 = to.x() - kGap, y = from.y();
        path.moveTo(x0, y);
        path.lineTo(x0 + h, y - h);
        path.lineTo(x1 - h, y - h);
        path.lineTo(x1, y);
        path.lineTo(x1 - h, y + h);
        path.lineTo(x0 + h, y + h);
    } else {
        const qreal y0 = from.y() + kGap, y1 = to.y() - kGap, x = from.x();
        path.moveTo(x, y0);
        path.lineTo(x + h, y0 + h);
        path.lineTo(x + h, y1 - h);
        path.lineTo(x, y1);
        path.lineTo(x - h, y1 - h);
        path.lineTo(x - h, y0 + h);
    }
    path.closeSubpath();
    return path;
}

void PaintDigit(QPainter& p, std::uint8_t segments, const QColor& on, const QColor& off) {
    const qreal l = 1, r = kCellW - 1, t = 1, m = kCellH / 2, b = kCellH - 1;
    const QPainterPath paths[7] = {
        Segment({l, t}, {r, t}), Segment({r, t}, {r, m}), Segment({r, m}, {r, b}), Segment({l, b}, {r, b}),
        Segment({l, m}, {l, b}), Segment({l, t}, {l, m}), Segment({l, m}, {r, m}),
    };
    for (int i = 0; i < 7; ++i) p.fillPath(paths[i], (segments >> i) & 1 ? on : off);
}

}  // namespace

std::uint8_t SegmentsFor(std::uint8_t value) { return value < 16 ? kHexSegments[value] : kMiddleBar; }

SevenSegmentDisplay::SevenSegmentDisplay(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setAccessibleName(tr("Display"));
}

void SevenSegmentDisplay::SetDigits(const Digits& digits) {
    if (digits == digits_) return;
    digits_ = digits;
    setToolTip(text());
    update();
}

QString SevenSegmentDisplay::text() const {
    QString s;
    for (std::uint8_t d : digits_) s += d < 16 ? QChar("0123456789ABCDEF"[d]) : QChar('-');
    return s;
}

QSize SevenSegmentDisplay::sizeHint() const { return {kDigitCount * 30 + 12, 62}; }

QSize SevenSegmentDisplay::minimumSizeHint() const { return {kDigitCount * 15 + 8, 36}; }

void SevenSegmentDisplay::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), QColor(0x14, 0x10, 0x10));

    // Scale the grid of 8 cells to fit, keeping the digits' proportions; centre it.
    const qreal gridW = kDigitCount * kCellW + (kDigitCount - 1) * kSpacing + 2 * kMargin;
    const qreal gridH = kCellH + 2 * kMargin;
    const qreal scale = std::min(width() / gridW, height() / gridH);
    p.translate((width() - gridW * scale) / 2, (height() - gridH * scale) / 2);
    p.scale(scale, scale);
    p.translate(kMargin, kMargin);

    const QColor on(0xFF, 0x3B, 0x2E), off(0x3A, 0x1E, 0x1C);
    for (int i = 0; i < kDigitCount; ++i) {
        p.save();
        p.translate(i * (kCellW + kSpacing), 0);
        p.shear(-0.08, 0);  // the usual slight slant
        p.translate(0.08 * kCellH, 0);
        PaintDigit(p, SegmentsFor(digits_[i]), on, off);
        p.restore();
    }
}

}  // namespace vboard::panel
