// The board's eight keys: press one with the mouse to hold it; each lights while the board has it
// held, whoever holds it.
#pragma once

#include <QWidget>
#include <array>
#include <cstdint>

#include "vboard/types.h"

namespace vboard::panel {

// One key with its lamp. Mouse press and release are reported; the lamp shows `lit`.
class KeyButton : public QWidget {
    Q_OBJECT
  public:
    KeyButton(int key, QWidget* parent = nullptr);

    int key() const { return key_; }
    bool lit() const { return lit_; }
    void SetLit(bool lit);

    QSize sizeHint() const override;

  signals:
    void pressed(int key);
    void released(int key);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    int key_;
    bool lit_ = false;
    bool mouseDown_ = false;
};

class KeyPad : public QWidget {
    Q_OBJECT
  public:
    explicit KeyPad(QWidget* parent = nullptr);

    // Lights the keys whose bits are set (bit i = key i).
    void SetHeld(std::uint8_t heldKeys);
    KeyButton* button(int key) const { return buttons_[key]; }

  signals:
    void keyChanged(int key, bool down);

  private:
    std::array<KeyButton*, kKeyCount> buttons_{};
};

}  // namespace vboard::panel
