// The front panel window: the board's parts side by side, kept in step with the board.
#pragma once

#include <QWidget>
#include <cstdint>

#include "vboard/board.h"

namespace vboard::panel {

class BoardBridge;
class ClockBox;
class EepromView;
class FaultBox;
class KeyPad;
class SettingsBox;
class SevenSegmentDisplay;
class TrafficView;

class PanelWindow : public QWidget {
    Q_OBJECT
  public:
    explicit PanelWindow(Board& board, QWidget* parent = nullptr);
    ~PanelWindow() override;

    SevenSegmentDisplay* display() const { return display_; }
    KeyPad* keys() const { return keys_; }
    ClockBox* clock() const { return clock_; }
    EepromView* eeprom() const { return eeprom_; }
    SettingsBox* settings() const { return settings_; }
    FaultBox* faults() const { return faults_; }
    TrafficView* traffic() const { return traffic_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Connect();
    void ShowBoard();
    // Keys 1 to 8 of the keyboard hold keys 0 to 7; false when the event is no such key.
    bool KeyboardKey(QEvent* event);
    void ReleaseKeyboardKeys();

    Board& board_;
    BoardBridge* bridge_;
    SevenSegmentDisplay* display_;
    KeyPad* keys_;
    ClockBox* clock_;
    EepromView* eeprom_;
    SettingsBox* settings_;
    FaultBox* faults_;
    TrafficView* traffic_;
    std::uint8_t keyboardHeld_ = 0;  // keys held from the keyboard, released when focus leaves
};

}  // namespace vboard::panel
