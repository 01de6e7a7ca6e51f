// A private bus, the message-box recorder and a dialog, for the window tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "dialog_driver.h"
#include "vboard_testing/gtest_bus.h"
#include "vboard_testing/traffic_log.h"

class VarnelWindowTest : public ::testing::Test {
  protected:
    // Declared in this order: the dialog goes first (waiting for its workers), the boards last.
    GTestBus bus{"varnel"};
    DialogDriver driver;
    RecordingDlg dlg;

    // The box the last shown was, as (text, caption, type); a failure when none was shown.
    void ExpectLastBox(const std::string& text, const std::string& caption, UINT type) {
        const auto boxes = driver.Boxes();
        ASSERT_FALSE(boxes.empty()) << "no message box";
        EXPECT_EQ(boxes.back().text, text);
        EXPECT_EQ(boxes.back().caption, caption);
        EXPECT_EQ(boxes.back().type, type);
    }
};

// Bytes as the read display shows them, built independently of the tool's formatter.
inline std::string HexText(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    char pair[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(pair, sizeof pair, "%02x ", b);
        text += pair;
    }
    return text;
}
