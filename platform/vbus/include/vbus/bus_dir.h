// Where the board bus lives and how its files are named (docs/PROTOCOL.md).
#pragma once

#include <string>
#include <vector>

namespace vbus {

// $VBOARD_BUS, else $XDG_RUNTIME_DIR/vboard-bus, else /tmp/vboard-bus-<uid>. On Windows:
// $VBOARD_BUS, else vboard-bus in the temporary directory.
std::string DefaultBusDirectory();

// Creates the directory (mode 0700) when missing. On POSIX hosts an existing directory must belong
// to the user and be closed to other users' writes. False when the directory cannot be used;
// `why` then names it and says what to do.
bool EnsureBusDirectory(const std::string& dir, std::string* why = nullptr);

// True when the directory exists and passes the checks above (on Windows: when it exists).
// Otherwise `why` says what is wrong. The slot lists below are empty for a directory that fails.
bool CheckBusDirectory(const std::string& dir, std::string* why = nullptr);

std::string SocketPath(const std::string& dir, int slot);
std::string StatePath(const std::string& dir, int slot);
// The board's loopback TCP endpoint file (vbus/tcp_endpoint.h).
std::string TcpEndpointPath(const std::string& dir, int slot);

// Slots that have a socket file, ascending; none when the directory fails the checks above, so
// that no client talks to a board another user may have put there.
std::vector<int> ListSlots(const std::string& dir);
// Slots that have a TCP endpoint file, ascending.
std::vector<int> ListTcpSlots(const std::string& dir);

// Replaces `path` with `content` atomically (temporary file, flushed to disk, renamed over
// `path`). On POSIX hosts the file is readable and writable by its owner only.
bool ReplaceFileAtomically(const std::string& path, const std::string& content);

#ifndef _WIN32
// Removes the temporary files that ReplaceFileAtomically of a process that has died (a board
// killed in the middle of a write) left beside `path`. Those of live processes stay.
void RemoveStaleTemporaries(const std::string& path);
#endif

}  // namespace vbus
