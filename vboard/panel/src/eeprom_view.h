// The board's 256-byte EEPROM as 16 rows of 16 hexadecimal bytes with their ASCII column; the bytes
// of the last write are marked.
#pragma once

#include <QWidget>

#include "vboard/types.h"

namespace vboard::panel {

class EepromView : public QWidget {
    Q_OBJECT
  public:
    explicit EepromView(QWidget* parent = nullptr);

    void SetContents(const Eeprom& contents);
    // Marks bytes offset .. offset + length - 1 as the last write (clipped to the EEPROM); a length
    // of 0 clears the mark.
    void MarkWrite(int offset, int length);

    const Eeprom& contents() const { return contents_; }
    bool marked(int address) const { return address >= markBegin_ && address < markEnd_; }
    // How a byte is shown: its two hex digits and its ASCII character ('.' when not printable).
    static QString HexText(std::uint8_t byte);
    static QChar AsciiChar(std::uint8_t byte);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    int HexColumnX(int column) const;
    int AsciiColumnX(int column) const;

    Eeprom contents_{};
    int markBegin_ = 0, markEnd_ = 0;
    int charW_ = 8, lineH_ = 16;
};

}  // namespace vboard::panel
