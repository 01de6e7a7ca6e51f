// Virtual boards on a private bus for the board link's tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "vboard/board.h"
#include "vboard_testing/gtest_bus.h"
#include "vboard_testing/traffic_log.h"

class BoardLinkTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts a board on this test's bus; the test fails when it cannot start.
    vboard::Board& AddBoard(vboard::BoardOptions options = {}) { return bus_->AddBoard(std::move(options)); }

    // Control requests with this code the board received, on any target.
    static int CountIoctls(const vboard::Board& board, std::uint32_t code);

    std::unique_ptr<GTestBus> bus_;
};
