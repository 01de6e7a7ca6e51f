// Carries a board's notifications from its notifier thread to the GUI thread as Qt signals.
#pragma once

#include <QObject>
#include <cstdint>
#include <mutex>
#include <vector>

#include "vboard/board.h"
#include "vboard/observer.h"

namespace vboard::panel {

// Registers itself with the board on construction and unregisters on destruction; its signals
// are emitted on the thread the bridge lives in, in the order the board made the changes.
class BoardBridge : public QObject, private BoardObserver {
    Q_OBJECT
  public:
    explicit BoardBridge(Board& board, QObject* parent = nullptr);
    ~BoardBridge() override;

  signals:
    void displayChanged(const vboard::Digits& digits);
    void eepromChanged(int offset, int length);
    void keysChanged(std::uint8_t heldKeys);
    void clockChanged(const vboard::ClockTime& time);
    void plugChanged(bool plugged);
    void typeChanged(std::uint8_t type);
    void faultsChanged(const vboard::FaultSet& faults);
    // New traffic log entries, oldest first. Entries that come in quick succession arrive together.
    void traffic(const std::vector<vboard::LogEntry>& entries);

  private:
    void OnDisplayChanged(const Digits& digits) override;
    void OnEepromChanged(int offset, int length) override;
    void OnKeysChanged(std::uint8_t heldKeys) override;
    void OnClockChanged(const ClockTime& time) override;
    void OnPlugChanged(bool plugged) override;
    void OnTypeChanged(std::uint8_t type) override;
    void OnFaultsChanged(const FaultSet& faults) override;
    void OnTraffic(const LogEntry& entry) override;

    template <typename F>
    void Post(F&& f);
    void FlushTraffic();

    Board& board_;
    std::mutex trafficMu_;
    std::vector<LogEntry> pendingTraffic_;  // guarded by trafficMu_
};

}  // namespace vboard::panel
