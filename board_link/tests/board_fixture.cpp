#include "board_fixture.h"

#include "winapi_standin.h"

void BoardLinkTest::SetUp() {
    bus_ = std::make_unique<GTestBus>("board-link");
    standin::ClearSetupFaults();
}

void BoardLinkTest::TearDown() {
    bus_->RemoveBoards();
    standin::ClearSetupFaults();
    EXPECT_TRUE(Eventually([] { return standin::PendingRequestCount() == 0; }, std::chrono::seconds(5)))
        << "requests still in flight after the test";
    bus_.reset();
}

int BoardLinkTest::CountIoctls(const vboard::Board& board, std::uint32_t code) {
    return static_cast<int>(Requests(board, "", vboard::LogOp::Ioctl, code));
}
