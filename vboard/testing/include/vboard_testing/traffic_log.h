// What tests read back from a board's traffic log. A target is "device" or a pipe ("PIPE00"..
// "PIPE03"); an empty target stands for every target.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vboard/board.h"

// Log entries of one target (of every operation), or of one operation (on every target), or of
// both, oldest first.
std::vector<vboard::LogEntry> LogEntries(const vboard::Board& board, const std::string& target);
std::vector<vboard::LogEntry> LogEntries(const vboard::Board& board, vboard::LogOp op);
std::vector<vboard::LogEntry> LogEntries(const vboard::Board& board, const std::string& target,
                                         vboard::LogOp op);

// Requests of one kind the board received on a target after `mark` (a request that pends and
// later completes counts once); `code` narrows ioctls to one control code when not 0.
std::vector<vboard::LogEntry> RequestEntries(const vboard::Board& board, const std::string& target,
                                             vboard::LogOp op, std::uint32_t code = 0,
                                             std::uint64_t mark = 0);
std::size_t Requests(const vboard::Board& board, const std::string& target, vboard::LogOp op,
                     std::uint32_t code = 0, std::uint64_t mark = 0);

// How many entries of `op` the target's log holds; with `completedOnly` only requests that have
// ended (at once or later).
int CountOps(const vboard::Board& board, const std::string& target, vboard::LogOp op,
             bool completedOnly = false);

// Sequence number of the board's newest log entry (0 for an empty log), to look only at what
// comes after it.
std::uint64_t LogMark(const vboard::Board& board);

// A request of this target and operation (and control code, when not 0), logged after `mark`,
// has been accepted and had to wait for its answer (it may have been answered since).
bool RequestPending(const vboard::Board& board, const std::string& target, vboard::LogOp op,
                    std::uint32_t code, std::uint64_t mark);
// A request of `op` on the target that the board has accepted and not yet answered, now.
bool StillPending(const vboard::Board& board, const std::string& target,
                  vboard::LogOp op = vboard::LogOp::Read);

// The most handles of the target that were open at the same time, over the whole log.
int MostOpenAtOnce(const vboard::Board& board, const std::string& target);
