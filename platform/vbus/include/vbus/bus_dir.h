// Where the board bus lives and how its files are named (docs/PROTOCOL.md).
#pragma once

#include <string>
#include <vector>

namespace vbus {

// $VBOARD_BUS, else $XDG_RUNTIME_DIR/vboard-bus, else /tmp/vboard-bus-<uid>. On Windows:
// $VBOARD_BUS, else vboard-bus in the temporary directory.
std::string DefaultBusDirectory();

// Creates the directory (mode 0700) when missing; false when it cannot.
bool EnsureBusDirectory(const std::string& dir);

std::string SocketPath(const std::string& dir, int slot);
std::string StatePath(const std::string& dir, int slot);
// The board's loopback TCP endpoint file (vbus/tcp_endpoint.h).
std::string TcpEndpointPath(const std::string& dir, int slot);

// Slots that have a socket file, ascending.
std::vector<int> ListSlots(const std::string& dir);
// Slots that have a TCP endpoint file, ascending.
std::vector<int> ListTcpSlots(const std::string& dir);

// Replaces `path` with `content` atomically (temporary file renamed over `path`): a process
// killed at any moment leaves the old or the new content whole. With `sync` the file and the
// rename are also flushed to disk, so that they survive a power cut of the host. On POSIX hosts
// the file is readable and writable by its owner only.
bool ReplaceFileAtomically(const std::string& path, const std::string& content, bool sync = true);

}  // namespace vbus
