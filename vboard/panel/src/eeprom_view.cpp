#include "eeprom_view.h"

#include <QEvent>
#include <QFontDatabase>
#include <QPainter>
#include <algorithm>

namespace vboard::panel {
namespace {
constexpr int kColumns = 16;
constexpr int kRows = kEepromSize / kColumns;
constexpr int kPad = 4;           // pixels around the grid
constexpr int kAddressChars = 4;  // "F0:" and a space
}  // namespace

EepromView::EepromView(QWidget* parent) : QWidget(parent) {
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    charW_ = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    lineH_ = fontMetrics().height() + 2;
    contents_.fill(0xFF);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(tr("EEPROM"));
}

void EepromView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        charW_ = fontMetrics().horizontalAdvance(QLatin1Char('0'));
        lineH_ = fontMetrics().height() + 2;
        updateGeometry();
    }
    QWidget::changeEvent(event);
}

QString EepromView::HexText(std::uint8_t byte) {
    return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}

QChar EepromView::AsciiChar(std::uint8_t byte) {
    return byte >= 0x20 && byte < 0x7F ? QChar(byte) : QChar('.');
}

void EepromView::SetContents(const Eeprom& contents) {
    if (contents == contents_) return;
    contents_ = contents;
    update();
}

void EepromView::MarkWrite(int offset, int length) {
    const int begin = std::clamp(offset, 0, kEepromSize);
    const int end = length <= 0 ? begin : std::clamp(offset + length, begin, kEepromSize);
    markBegin_ = begin;
    markEnd_ = end;
    update();
}

// Columns: address, 16 hex cells of 3 characters (one more space after the eighth), two spaces,
// 16 ASCII characters.
int EepromView::HexColumnX(int column) const {
    return kPad + charW_ * (kAddressChars + 3 * column + (column >= 8 ? 1 : 0));
}

int EepromView::AsciiColumnX(int column) const { return HexColumnX(kColumns) + charW_ * 2 + charW_ * column; }

QSize EepromView::sizeHint() const {
    return {AsciiColumnX(kColumns) + kPad, kPad * 2 + lineH_ * (kRows + 1)};
}

void EepromView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    const QColor text = palette().text().color();
    const QColor dim = palette().placeholderText().color();
    const QColor markBack(0xff, 0xd8, 0x4a), markText(Qt::black);
    const int ascent = fontMetrics().ascent() + 1;

    // Header: column numbers.
    p.setPen(dim);
    for (int c = 0; c < kColumns; ++c) {
        p.drawText(HexColumnX(c), kPad + ascent,
                   QStringLiteral("%1").arg(c, 2, 16, QLatin1Char('0')).toUpper());
        p.drawText(AsciiColumnX(c), kPad + ascent, QString::number(c, 16).toUpper());
    }
    for (int r = 0; r < kRows; ++r) {
        const int top = kPad + lineH_ * (r + 1);
        p.setPen(dim);
        p.drawText(kPad, top + ascent, HexText(static_cast<std::uint8_t>(r * kColumns)) + ':');
        for (int c = 0; c < kColumns; ++c) {
            const int address = r * kColumns + c;
            const std::uint8_t byte = contents_[address];
            const bool mark = marked(address);
            if (mark) {
                p.fillRect(QRect(HexColumnX(c) - charW_ / 2, top, charW_ * 3, lineH_), markBack);
                p.fillRect(QRect(AsciiColumnX(c), top, charW_, lineH_), markBack);
            }
            p.setPen(mark ? markText : text);
            p.drawText(HexColumnX(c), top + ascent, HexText(byte));
            p.drawText(AsciiColumnX(c), top + ascent, QString(AsciiChar(byte)));
        }
    }
}

}  // namespace vboard::panel
