// Virtual boards in the test's own process, on a board bus of the test's own.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "vboard/board.h"

class PrivateBus {
  public:
    // Makes a fresh bus directory whose name starts with `prefix` and points the Windows-API
    // stand-in at it.
    explicit PrivateBus(const std::string& prefix);
    // Detaches the boards, returns the stand-in to its default bus and removes the directory.
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // Starts a board on this bus, its EEPROM file in the bus directory unless one is named and
    // its diagnostics silenced. A board that does not start is kept as well, so that a test can
    // say so and go on to its checks; `whyNot` then tells why, and is left empty otherwise.
    vboard::Board& AddBoard(vboard::BoardOptions options = {}, std::string* whyNot = nullptr);
    // Detaches every board (they leave the bus as unplugged boards do).
    void RemoveBoards();

    const std::string& Directory() const { return dir_; }

  private:
    std::string dir_;
    std::vector<std::unique_ptr<vboard::Board>> boards_;
};

// Runs until the condition holds or `limit` has gone by; the result is the condition's.
bool Eventually(const std::function<bool()>& condition,
                std::chrono::milliseconds limit = std::chrono::seconds(10));
