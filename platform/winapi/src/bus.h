// Reaching the boards on the bus: where the bus is, and the greeting on a new connection.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "diagnostics.h"
#include "vbus/protocol.h"
#include "vbus/stream.h"

namespace winapi_impl {

// The directory set through the test seam, else the bus's default.
std::string BusDirectory();

struct Greeting {
    std::unique_ptr<vbus::Stream> stream;
    vbus::Welcome welcome;
};

// Connects to the board in `slot` and says HELLO. Nothing when nobody answers there or the
// answer is not a WELCOME of this protocol version (that is logged).
std::optional<Greeting> Greet(const std::string& busDirectory, int slot, vbus::Purpose purpose,
                              const std::string& path);

// How long a board may take to answer (the seam's SetBoardAnswerLimit).
std::chrono::milliseconds AnswerLimit();

}  // namespace winapi_impl
