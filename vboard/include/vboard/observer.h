// Notifications of a virtual board's changes, for a front panel or a test.
#pragma once

#include <cstdint>

#include "vboard/types.h"

namespace vboard {

// Called on the board's own notifier thread, one call at a time and in the order the changes
// happened; never under the board's lock, so a callback may call back into the Board.
class BoardObserver {
  public:
    virtual ~BoardObserver() = default;
    virtual void OnDisplayChanged(const Digits& /*digits*/) {}
    // `offset` and `length` name the bytes that were written.
    virtual void OnEepromChanged(int /*offset*/, int /*length*/) {}
    virtual void OnKeysChanged(std::uint8_t /*heldKeys*/) {}
    virtual void OnClockChanged(const ClockTime& /*time*/) {}
    virtual void OnPlugChanged(bool /*plugged*/) {}
    virtual void OnTypeChanged(std::uint8_t /*type*/) {}
    virtual void OnFaultsChanged(const FaultSet& /*faults*/) {}
    virtual void OnTraffic(const LogEntry& /*entry*/) {}
};

}  // namespace vboard
