// The stand-in's lines about boards that break the protocol: off unless asked for
// (VBOARD_DIAGNOSTICS=1, or the test seam), and rate-limited, so a misbehaving board cannot
// flood the terminal of the program using it.
#pragma once

#include <string>

namespace winapi_impl {

// One line on standard error about `peer`, when diagnostics are on and the rate allows.
void LogProtocolFault(const std::string& peer, const std::string& fault);

void ShowDiagnostics(bool on);

}  // namespace winapi_impl
