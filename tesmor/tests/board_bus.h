// A private board bus with in-process virtual boards, and what the tests read back from a
// board's traffic log.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "vboard/board.h"

class BoardBus {
  public:
    // Makes a fresh bus directory named after `name` and points the Windows-API stand-in at it.
    explicit BoardBus(const std::string& name);
    // Detaches every board, points the stand-in back at the default bus, removes the directory.
    ~BoardBus();
    BoardBus(const BoardBus&) = delete;
    BoardBus& operator=(const BoardBus&) = delete;

    // Starts a board on this bus (type 0x21, clock standing at 00:00:00 unless told otherwise);
    // nullptr when it cannot start.
    vboard::Board* AddBoard(vboard::BoardOptions options = {});

    const std::string& Directory() const { return dir_; }

  private:
    std::string dir_;
    std::vector<std::unique_ptr<vboard::Board>> boards_;
};

// Log entries of one pipe ("PIPE00".."PIPE03") or of "device", oldest first.
std::vector<vboard::LogEntry> PipeLog(const vboard::Board& board, const std::string& target);
// How many entries of `op` the pipe's log holds; with `completedOnly` only requests that have
// ended (at once or later).
int CountOps(const vboard::Board& board, const std::string& target, vboard::LogOp op,
             bool completedOnly = false);
// The most handles of the pipe that were open at the same time, over the whole log.
int MostOpenAtOnce(const vboard::Board& board, const std::string& target);
// A request of `op` on the pipe that the board has accepted and not yet answered.
bool RequestPending(const vboard::Board& board, const std::string& target,
                    vboard::LogOp op = vboard::LogOp::Read);
