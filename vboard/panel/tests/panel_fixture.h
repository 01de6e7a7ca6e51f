// A board on a private bus, with a panel showing it, and what the tests do through the bus.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "panel_window.h"
#include "vboard/board.h"
#include "vboard_testing/private_bus.h"

namespace vboard::panel::test {

// Generous: machines are shared; nothing here measures speed.
inline constexpr int kPatienceMs = 20000;

// Serves Qt events until pred() holds or the patience runs out; returns pred().
bool Until(const std::function<bool()>& pred, int timeoutMs = kPatienceMs);

class PanelFixture {
  public:
    // A board (type 0x21, clock standing at 12:00:00) on a fresh bus, the Windows-API stand-in
    // pointed at it, and a shown panel.
    PanelFixture();
    ~PanelFixture();

    Board& board() { return *board_; }
    PanelWindow& panel() { return *panel_; }
    const QString& busDir() const { return busDir_; }

    // Through the bus, as the tools do it: the 8 digits to PIPE01; bytes to the EEPROM through a
    // transfer request and PIPE03. False when a step fails.
    bool WriteDigitRecord(const std::vector<std::uint8_t>& digits);
    bool WriteEepromThroughBus(int offset, const std::vector<std::uint8_t>& bytes);

  private:
    PrivateBus bus_;
    QString busDir_;
    Board* board_ = nullptr;
    std::unique_ptr<PanelWindow> panel_;
};

}  // namespace vboard::panel::test
