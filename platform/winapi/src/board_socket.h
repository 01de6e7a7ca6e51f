// How the stand-in reaches the boards on the bus: through their UNIX sockets, or, in the test
// build for Windows (which has none under wine), their loopback TCP endpoints.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "vbus/stream.h"

namespace winapi_impl {

// The slots of the boards on the bus, ascending: the member index order of device setup.
std::vector<int> BoardSlots(const std::string& busDirectory);

// A connection to the board in `slot`, ready for HELLO; nothing when it does not answer.
std::unique_ptr<vbus::Stream> ConnectToBoard(const std::string& busDirectory, int slot);

}  // namespace winapi_impl
