#include "board_fixture.h"

#include <chrono>
#include <filesystem>
#include <thread>

#include "board_link.h"
#include "winapi_standin.h"

void BoardLinkTest::SetUp() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    bus_ = (std::filesystem::temp_directory_path() /
            ("board-link-" + std::to_string(::getpid()) + "-" + info->test_suite_name() + "-" + info->name()))
               .string();
    std::filesystem::remove_all(bus_);
    std::filesystem::create_directories(bus_);
    standin::SetBusDirectory(bus_);
    standin::ClearSetupFaults();
}

void BoardLinkTest::TearDown() {
    boards_.clear();
    standin::ClearSetupFaults();
    standin::SetBusDirectory("");
    EXPECT_TRUE(Eventually([] { return standin::PendingRequestCount() == 0; }))
        << "requests still in flight after the test";
    std::filesystem::remove_all(bus_);
}

vboard::Board& BoardLinkTest::AddBoard(vboard::BoardOptions options) {
    options.busDir = bus_;
    if (options.eepromFile.empty())
        options.eepromFile = bus_ + "/eeprom-" + std::to_string(boards_.size()) + ".bin";
    options.diagnostics = [](const std::string&) {};
    auto board = std::make_unique<vboard::Board>(std::move(options));
    std::string why;
    EXPECT_TRUE(board->Start(&why)) << why;
    boards_.push_back(std::move(board));
    return *boards_.back();
}

std::vector<vboard::LogEntry> BoardLinkTest::Entries(const vboard::Board& board, vboard::LogOp op) {
    std::vector<vboard::LogEntry> out;
    for (const auto& e : board.TrafficLog())
        if (e.op == op) out.push_back(e);
    return out;
}

int BoardLinkTest::CountIoctls(const vboard::Board& board, std::uint32_t code) {
    int n = 0;
    for (const auto& e : Entries(board, vboard::LogOp::Ioctl))
        if (e.code == code && e.status != vboard::LogStatus::Completed) ++n;
    return n;
}

bool Eventually(const std::function<bool()>& condition) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < until) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return condition();
}
