// Where the board bus lives and how its files are named (docs/PROTOCOL.md).
#pragma once

#include <string>
#include <vector>

namespace vbus {

// $VBOARD_BUS, else $XDG_RUNTIME_DIR/vboard-bus, else /tmp/vboard-bus-<uid>. On Windows:
// $VBOARD_BUS, else vboard-bus in the temporary directory.
std::string DefaultBusDirectory();

// Creates the directory (mode 0700) when missing. On POSIX hosts an existing directory must belong
// to the user and be closed to other users. False when the directory cannot be used;
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

// Replaces `path` with `content` atomically: a temporary file of the bus's own (a hidden name
// beside `path` with a random part, created exclusively and never through a link) renamed over
// `path`, so that a process killed at any moment leaves the old or the new content whole. With
// `sync` the file and the rename are also flushed to disk, so that they survive a power cut of
// the host. On POSIX hosts a new file is readable and writable by its owner only; a file
// replaced keeps its mode.
bool ReplaceFileAtomically(const std::string& path, const std::string& content, bool sync = true);

#ifndef _WIN32
// Removes, from `path`'s directory, the temporary files of ReplaceFileAtomically for `path`
// whose writer has died (a board killed in the middle of a write): names of exactly that form,
// regular files of this user, whose lock no live writer holds. Nothing else is touched.
void RemoveStaleTemporaries(const std::string& path);
#endif

}  // namespace vbus
