// A private bus for GoogleTest tests: a board that does not start fails the running test.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "vboard_testing/private_bus.h"

class GTestBus : public PrivateBus {
  public:
    explicit GTestBus(const std::string& prefix) : PrivateBus(prefix) {}

    vboard::Board& AddBoard(vboard::BoardOptions options = {}) {
        std::string why;
        vboard::Board& board = PrivateBus::AddBoard(std::move(options), &why);
        EXPECT_EQ(why, "") << "a board on " << Directory() << " did not start";
        return board;
    }
};
