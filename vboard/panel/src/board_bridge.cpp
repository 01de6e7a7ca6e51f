#include "board_bridge.h"

#include <utility>

namespace vboard::panel {

BoardBridge::BoardBridge(Board& board, QObject* parent) : QObject(parent), board_(board) {
    board_.AddObserver(this);
}

BoardBridge::~BoardBridge() {
    // Once this returns no callback runs or will run; invocations already queued for this object
    // are discarded by Qt when it is destroyed.
    board_.RemoveObserver(this);
}

template <typename F>
void BoardBridge::Post(F&& f) {
    QMetaObject::invokeMethod(this, std::forward<F>(f), Qt::QueuedConnection);
}

void BoardBridge::OnDisplayChanged(const Digits& digits) {
    Post([this, digits] { emit displayChanged(digits); });
}

void BoardBridge::OnEepromChanged(int offset, int length) {
    Post([this, offset, length] { emit eepromChanged(offset, length); });
}

void BoardBridge::OnKeysChanged(std::uint8_t heldKeys) {
    Post([this, heldKeys] { emit keysChanged(heldKeys); });
}

void BoardBridge::OnClockChanged(const ClockTime& time) {
    Post([this, time] { emit clockChanged(time); });
}

void BoardBridge::OnPlugChanged(bool plugged) {
    Post([this, plugged] { emit plugChanged(plugged); });
}

void BoardBridge::OnTypeChanged(std::uint8_t type) {
    Post([this, type] { emit typeChanged(type); });
}

void BoardBridge::OnFaultsChanged(const FaultSet& faults) {
    Post([this, faults] { emit faultsChanged(faults); });
}

void BoardBridge::OnTraffic(const LogEntry& entry) {
    // A busy client can make thousands of entries a second: queue one flush per batch.
    bool first = false;
    {
        std::lock_guard lock(trafficMu_);
        first = pendingTraffic_.empty();
        pendingTraffic_.push_back(entry);
    }
    if (first) Post([this] { FlushTraffic(); });
}

void BoardBridge::FlushTraffic() {
    std::vector<LogEntry> batch;
    {
        std::lock_guard lock(trafficMu_);
        batch.swap(pendingTraffic_);
    }
    if (!batch.empty()) emit traffic(batch);
}

}  // namespace vboard::panel
