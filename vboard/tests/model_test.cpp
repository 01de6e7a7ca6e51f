// The board model as a client sees it through the bus: opens, EEPROM, reports, display, type.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "test_support.h"
#include "vbus/bus_dir.h"

namespace vboard::test {
namespace {

class BoardTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto o = TestOptions(dir_);
        o.diagnostics = diagnostics_.Sink();
        board_ = std::make_unique<Board>(o);
        std::string why;
        ASSERT_TRUE(board_->Start(&why)) << why;
    }

    TempDir dir_;
    Diagnostics diagnostics_;
    std::unique_ptr<Board> board_;
};

TEST_F(BoardTest, ProbeAndOpensFollowTheDevicePath) {
    auto probe = Client::Connect(*board_);
    auto w = probe->Hello(vbus::Purpose::Probe);
    EXPECT_EQ(w.error, 0u);
    EXPECT_TRUE(w.present);
    EXPECT_EQ(w.interfaceGuid, InterfaceGuid());
    EXPECT_EQ(w.devicePath, board_->DevicePath());
    EXPECT_EQ(w.devicePath, "\\\\?\\vboard#board&0#VB000000#{77f49320-16ef-11d2-ad51-006097b514dd}");

    const std::string path = board_->DevicePath();
    for (const std::string& ok : {path, path + "\\PIPE00", path + "\\PIPE03"}) {
        auto c = Client::Connect(*board_);
        EXPECT_EQ(c->Hello(vbus::Purpose::Open, ok).error, 0u) << ok;
    }
    for (const std::string& bad : {path + "\\PIPE04", path + "\\pipe00", path + "PIPE00", path + "\\PIPE00\\",
                                   path + "\\", path.substr(0, path.size() - 1), std::string("x")}) {
        auto c = Client::Connect(*board_);
        EXPECT_EQ(c->Hello(vbus::Purpose::Open, bad).error, 2u) << bad;
    }
    // A refused open is no handle.
    auto refused = Client::Connect(*board_);
    refused->Hello(vbus::Purpose::Open, "x");
    refused->Send(ReadRequest(1, 4));
    EXPECT_TRUE(refused->WaitClosed());
}

TEST(BoardPaths, AnyDevicePathWorksEvenPastTheWindowsLimit) {
    TempDir dir;
    auto o = TestOptions(dir);
    o.devicePath = "\\\\?\\" + std::string(300, 'p');
    Board board(o);
    ASSERT_TRUE(board.Start());
    auto c = Client::Connect(board);
    EXPECT_EQ(c->Hello(vbus::Purpose::Probe).devicePath, o.devicePath);
    auto pipe = OpenHandle(board, "PIPE01");
    EXPECT_EQ(pipe->Call(WriteRequest(pipe->NextId(), {1, 2, 3, 4, 5, 6, 7, 8})).done.information, 8u);
}

TEST_F(BoardTest, EepromBytesGoBothWaysAfterATransferRequest) {
    auto device = OpenHandle(*board_);
    auto in = OpenHandle(*board_, "PIPE02");
    auto out = OpenHandle(*board_, "PIPE03");

    // Blank at first.
    EXPECT_EQ(ReadThroughPipes(*board_, 0, 4), (vbus::Bytes{0xff, 0xff, 0xff, 0xff}));

    // A write waits for its transfer request, then lands and is acknowledged with the count.
    const std::uint32_t w = out->NextId();
    out->Start(WriteRequest(w, {1, 2, 3, 4, 5}));
    out->Barrier();                                                          // still pending
    auto t = device->Call(TransferRequest(device->NextId(), 0, 16, 4, 24));  // 64-bit control block
    EXPECT_EQ(t.done.error, 0u);
    EXPECT_EQ(t.done.information, 0u);
    auto wd = out->WaitDone(w);
    EXPECT_EQ(wd.error, 0u);
    EXPECT_EQ(wd.information, 4u);  // only what was armed

    // A read waits the same way, and gets min(asked, armed).
    const std::uint32_t r = in->NextId();
    in->Start(ReadRequest(r, 64));
    in->Barrier();
    device->Call(TransferRequest(device->NextId(), 1, 14, 8));
    auto rd = in->WaitDone(r);
    EXPECT_EQ(rd.error, 0u);
    EXPECT_EQ(rd.output, (vbus::Bytes{0xff, 0xff, 1, 2, 3, 4, 0xff, 0xff}));
    EXPECT_EQ(rd.information, 8u);

    // One transfer request arms one transfer: the next read pends again.
    const std::uint32_t again = in->NextId();
    in->Start(ReadRequest(again, 4));
    in->Barrier();

    EXPECT_EQ(board_->EepromContents()[16], 1);
    EXPECT_EQ(board_->EepromContents()[19], 4);
}

TEST_F(BoardTest, AcknowledgedWritesSurviveARestart) {
    WriteThroughPipes(*board_, 250, {0xde, 0xad, 0xbe, 0xef, 0x00, 0x01});
    const std::string file = board_->EepromFile();
    board_.reset();

    Board again(TestOptions(dir_));
    ASSERT_TRUE(again.Start());
    EXPECT_EQ(again.EepromFile(), file);
    EXPECT_EQ(ReadThroughPipes(again, 248, 8), (vbus::Bytes{0xff, 0xff, 0xde, 0xad, 0xbe, 0xef, 0x00, 0x01}));
    EXPECT_EQ(std::filesystem::file_size(file), 256u);
}

TEST(BoardEeprom, AFileOfTheWrongSizeIsRefusedAndLeftAlone) {
    TempDir dir;
    auto o = TestOptions(dir);
    {
        std::ofstream f(o.eepromFile, std::ios::binary);
        f << "not an eeprom image";
    }
    Board board(o);
    std::string why;
    EXPECT_FALSE(board.Start(&why));
    EXPECT_NE(why.find("19 bytes"), std::string::npos) << why;
    EXPECT_EQ(std::filesystem::file_size(o.eepromFile), 19u);
    EXPECT_TRUE(vbus::ListSlots(o.busDir).empty());
    EXPECT_FALSE(std::filesystem::exists(vbus::StatePath(o.busDir, 0)));
}

// The EEPROM file at the default place may not be a link (someone else may have put it there);
// one the user names with --eeprom is followed: the writes replace its target, the link stays,
// and the target keeps its mode. A directory is refused wherever it is.
TEST(BoardEeprom, ALinkIsFollowedOnlyWhenTheUserNamedIt) {
    namespace fs = std::filesystem;
    TempDir dir;
    const std::string target = dir.File("image.bin");
    std::ofstream(target, std::ios::binary) << std::string(256, '\x11');
    fs::permissions(target, fs::perms(0640));

    const char* oldData = std::getenv("XDG_DATA_HOME");
    const std::string saved = oldData ? oldData : "";
    ::setenv("XDG_DATA_HOME", dir.Path().c_str(), 1);
    fs::create_directories(dir.File("vboard"));
    fs::create_symlink(target, dir.File("vboard/board-7.eeprom"));
    auto o = TestOptions(dir);
    o.eepromFile.clear();
    o.slot = 7;
    Board byDefault(o);
    std::string why;
    EXPECT_FALSE(byDefault.Start(&why));
    EXPECT_NE(why.find("symbolic link"), std::string::npos) << why;
    EXPECT_NE(why.find("--eeprom"), std::string::npos) << why;
    oldData ? ::setenv("XDG_DATA_HOME", saved.c_str(), 1) : ::unsetenv("XDG_DATA_HOME");

    const std::string link = dir.File("named.eeprom");
    fs::create_symlink(target, link);
    Board named(TestOptions(dir, "named.eeprom"));
    ASSERT_TRUE(named.Start(&why)) << why;
    WriteThroughPipes(named, 0, {0xab});
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link)));
    std::ifstream in(target, std::ios::binary);
    EXPECT_EQ(in.get(), 0xab);
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, fs::perms(0640));

    fs::create_directories(dir.File("adir"));
    Board directory(TestOptions(dir, "adir"));
    EXPECT_FALSE(directory.Start(&why));
    EXPECT_NE(why.find("not a regular file"), std::string::npos) << why;
}

TEST_F(BoardTest, BadRequestsFailWithTheWindowsCodes) {
    auto device = OpenHandle(*board_);
    auto pipe = OpenHandle(*board_, "PIPE02");
    auto call = [](Client& c, vbus::Submit s) { return c.Call(std::move(s)).done.error; };

    // Control blocks and requests the board cannot take: 87.
    auto shortBlock = TransferRequest(1, 1, 0, 4);
    shortBlock.input.resize(12);
    EXPECT_EQ(call(*device, shortBlock), 87u);
    auto wrongRequest = TransferRequest(2, 1, 0, 4);
    wrongRequest.input = ControlBlockBytes(0, 6, kRequestBoardType);
    EXPECT_EQ(call(*device, wrongRequest), 87u);
    auto lengthMismatch = TransferRequest(3, 1, 0, 4);
    lengthMismatch.window.pop_back();
    EXPECT_EQ(call(*device, lengthMismatch), 87u);
    EXPECT_EQ(call(*device, TransferRequest(4, 1, 250, 7)), 87u);  // runs past the end
    EXPECT_EQ(call(*device, TransferRequest(5, 1, 256, 1)), 87u);
    EXPECT_EQ(call(*device, TransferRequest(6, 2, 0, 1)), 87u);  // no such direction
    auto noOutput = TypeRequest(7);
    noOutput.outLength = 0;
    EXPECT_EQ(call(*device, noOutput), 87u);

    // Wrong kind of handle, or a code nobody knows: 1.
    EXPECT_EQ(call(*device, ReadRequest(8, 4)), 1u);
    EXPECT_EQ(call(*device, ResetRequest(9)), 1u);
    EXPECT_EQ(call(*pipe, TypeRequest(10)), 1u);
    EXPECT_EQ(call(*pipe, WriteRequest(11, {1})), 1u);
    EXPECT_EQ(call(*device, {12, vbus::Op::Ioctl, 0x80002014, 0, {}, {}}), 1u);

    // None of that armed the pipe.
    const std::uint32_t r = pipe->NextId();
    pipe->Start(ReadRequest(r, 4));
    pipe->Barrier();
}

TEST_F(BoardTest, TheTypeQueryAnswersInOutputAndWindow) {
    auto device = OpenHandle(*board_);
    auto d = device->Call(TypeRequest(1)).done;
    EXPECT_EQ(d.error, 0u);
    EXPECT_EQ(d.information, 1u);
    EXPECT_EQ(d.output, vbus::Bytes{0x21});
    EXPECT_EQ(d.window, vbus::Bytes{0x21});

    board_->SetType(0x7f);
    EXPECT_EQ(device->Call(TypeRequest(2, 24)).done.window, vbus::Bytes{0x7f});
}

TEST_F(BoardTest, StatusReportsFollowKeysAndClock) {
    auto pipe = OpenHandle(*board_, "PIPE00");

    // Nothing happened yet: the read waits.
    const std::uint32_t first = pipe->NextId();
    pipe->Start(ReadRequest(first, 4));
    pipe->Barrier();

    board_->SetKey(2, true);
    auto d = pipe->WaitDone(first);
    EXPECT_EQ(d.output, (vbus::Bytes{0x02, 0x05, 0x30, 0x09}));

    // Changes while no read waits: the latest report is kept for the next read.
    board_->SetKey(6, true);
    board_->SetKey(2, false);
    auto kept = pipe->Call(ReadRequest(pipe->NextId(), 4));
    EXPECT_EQ(kept.done.output, (vbus::Bytes{0x06, 0x05, 0x30, 0x09}));
    // ...and only once.
    const std::uint32_t waiting = pipe->NextId();
    pipe->Start(ReadRequest(waiting, 4));
    pipe->Barrier();

    board_->SetKey(6, false);
    EXPECT_EQ(pipe->WaitDone(waiting).output, (vbus::Bytes{0xff, 0x05, 0x30, 0x09}));
    board_->SetClock({23, 59, 58});
    EXPECT_EQ(pipe->Call(ReadRequest(pipe->NextId(), 4)).done.output, (vbus::Bytes{0xff, 0x58, 0x59, 0x23}));
    // A short read takes the first bytes of the report.
    board_->SetKey(1, true);
    EXPECT_EQ(pipe->Call(ReadRequest(pipe->NextId(), 2)).done.output, (vbus::Bytes{0x01, 0x58}));
}

TEST(BoardClock, ARunningClockTicksIntoReports) {
    TempDir dir;
    auto o = TestOptions(dir);
    o.clockRunning = true;
    o.clock = ClockTime{23, 59, 59};
    Board board(o);
    ASSERT_TRUE(board.Start());
    auto pipe = OpenHandle(board, "PIPE00");
    auto d = pipe->Call(ReadRequest(1, 4)).done;
    EXPECT_EQ(d.output, (vbus::Bytes{0xff, 0x00, 0x00, 0x00}));  // midnight wraps
}

TEST(BoardReports, AReportIntervalWakesAReaderWithoutChanges) {
    TempDir dir;
    auto o = TestOptions(dir);
    o.reportIntervalMs = 20;
    Board board(o);
    ASSERT_TRUE(board.Start());
    auto pipe = OpenHandle(board, "PIPE00");
    for (std::uint32_t id = 1; id <= 3; ++id)
        EXPECT_EQ(pipe->Call(ReadRequest(id, 4)).done.output, (vbus::Bytes{0xff, 0x05, 0x30, 0x09}));
}

class Recorder : public BoardObserver {
  public:
    void OnDisplayChanged(const Digits& d) override {
        Add("display " + std::to_string(d[0]) + std::to_string(d[7]));
    }
    void OnEepromChanged(int offset, int length) override {
        Add("eeprom " + std::to_string(offset) + "+" + std::to_string(length));
    }
    void OnPlugChanged(bool plugged) override { Add(plugged ? "plugged" : "unplugged"); }
    bool WaitFor(const std::string& event) {
        std::unique_lock lock(mu_);
        return cv_.wait_for(lock, kPatience, [&] {
            return std::find(events_.begin(), events_.end(), event) != events_.end();
        });
    }

  private:
    void Add(std::string e) {
        std::lock_guard lock(mu_);
        events_.push_back(std::move(e));
        cv_.notify_all();
    }
    std::mutex mu_;
    std::condition_variable cv_;
    std::vector<std::string> events_;
};

TEST_F(BoardTest, DisplayAndEepromChangesReachObservers) {
    Recorder recorder;
    board_->AddObserver(&recorder);
    auto pipe = OpenHandle(*board_, "PIPE01");
    auto d = pipe->Call(WriteRequest(1, {1, 2, 3, 4, 0xa, 0xb, 0xc, 0xf})).done;
    EXPECT_EQ(d.information, 8u);
    EXPECT_EQ(board_->Display(), (Digits{1, 2, 3, 4, 0xa, 0xb, 0xc, 0xf}));
    EXPECT_TRUE(recorder.WaitFor("display 115"));

    WriteThroughPipes(*board_, 100, {7, 7, 7});
    EXPECT_TRUE(recorder.WaitFor("eeprom 100+3"));
    board_->Unplug();
    EXPECT_TRUE(recorder.WaitFor("unplugged"));
    board_->RemoveObserver(&recorder);
}

}  // namespace
}  // namespace vboard::test
