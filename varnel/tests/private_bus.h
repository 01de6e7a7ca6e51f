// Virtual boards on a board bus of the test's own, for tests that run against the board.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "vboard/board.h"

class PrivateBus {
  public:
    // Makes a fresh bus directory named after the running test and points the Windows-API
    // stand-in at it.
    PrivateBus();
    // Detaches the boards, returns the stand-in to its default bus and removes the directory.
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // Starts a board on this bus; the test fails when it cannot start.
    vboard::Board& AddBoard(vboard::BoardOptions options = {});

    const std::string& Directory() const { return dir_; }

  private:
    std::string dir_;
    std::vector<std::unique_ptr<vboard::Board>> boards_;
};

// Entries of the board's traffic log for one target ("device", "PIPE02", ...) and operation.
std::vector<vboard::LogEntry> LogEntries(const vboard::Board& board, const std::string& target,
                                         vboard::LogOp op);

// Requests of one kind the board received on a target (a request that pends and later
// completes counts once); `code` narrows ioctls to one control code.
std::size_t Requests(const vboard::Board& board, const std::string& target, vboard::LogOp op,
                     std::uint32_t code = 0, std::uint64_t mark = 0);

// Sequence number of the board's newest log entry (0 for an empty log), to look only at what
// comes after it.
std::uint64_t LogMark(const vboard::Board& board);
// A request of this target and operation (and control code, when not 0), logged after `mark`,
// has been accepted and waits for its answer.
bool RequestPending(const vboard::Board& board, const std::string& target, vboard::LogOp op,
                    std::uint32_t code, std::uint64_t mark);

// Runs until the condition holds or about ten seconds have gone by; the result is the condition's.
bool Eventually(const std::function<bool()>& condition);
