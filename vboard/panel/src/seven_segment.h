// The board's 8-digit display: seven-segment hexadecimal digits, drawn.
#pragma once

#include <QWidget>
#include <cstdint>

#include "vboard/types.h"

namespace vboard::panel {

// Segments lit for a digit value: bit 0 = a (top), 1 = b (top right), 2 = c (bottom right),
// 3 = d (bottom), 4 = e (bottom left), 5 = f (top left), 6 = g (middle). 0..15 give the hex
// digits 0-9, A, b, C, d, E, F; anything else gives a lone middle bar.
std::uint8_t SegmentsFor(std::uint8_t value);

class SevenSegmentDisplay : public QWidget {
    Q_OBJECT
  public:
    explicit SevenSegmentDisplay(QWidget* parent = nullptr);

    void SetDigits(const Digits& digits);
    const Digits& digits() const { return digits_; }
    // The digits as text ("0000001A"), for tests and accessibility.
    QString text() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Digits digits_{};
};

}  // namespace vboard::panel
