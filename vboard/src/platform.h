// What the board needs of its host beyond standard C++: the bus endpoints (sockets), a lock that
// serialises slot claims, the local time of day, and waiting for a termination signal.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "vboard/types.h"
#include "vbus/stream.h"

namespace vboard {

// Held while a board picks and binds its slot, so two boards starting at once never pick the same.
class BusLock {
  public:
    virtual ~BusLock() = default;
};
std::unique_ptr<BusLock> LockBus(const std::string& busDir);

// True when a live board answers on the slot.
bool SlotAnswers(const std::string& busDir, int slot);
std::unique_ptr<vbus::Listener> ListenOnBus(const std::string& busDir, int slot, std::string& why);
// Listens on the loopback interface at a port the system picks (stored in `port`), for clients
// that cannot use the bus's own sockets.
std::unique_ptr<vbus::Listener> ListenOnLoopback(std::uint16_t& port, std::string& why);
std::unique_ptr<vbus::Stream> ConnectToBoard(const std::string& busDir, int slot);

ClockTime LocalTimeOfDay();

// Blocks until the process is asked to end (SIGINT, SIGTERM). Call before starting threads that
// should not receive those signals: PrepareForTerminationSignals() first, then the threads.
void PrepareForTerminationSignals();
int WaitForTerminationSignal();
// Ends WaitForTerminationSignal from any thread, as a SIGTERM would.
void EndTerminationWait();

}  // namespace vboard
