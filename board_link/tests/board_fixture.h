// Virtual boards on a private bus for the board link's tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "vboard/board.h"

class BoardLinkTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts a board on this test's bus; the test fails when it cannot start.
    vboard::Board& AddBoard(vboard::BoardOptions options = {});

    // Entries of the board's traffic log of one kind, oldest first.
    static std::vector<vboard::LogEntry> Entries(const vboard::Board& board, vboard::LogOp op);
    static int CountIoctls(const vboard::Board& board, std::uint32_t code);

    std::string bus_;
    std::vector<std::unique_ptr<vboard::Board>> boards_;
};

// Runs until the condition holds or about five seconds have gone by.
bool Eventually(const std::function<bool()>& condition);
