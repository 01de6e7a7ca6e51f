// Fault settings: how each mode changes what a client sees.
#include <gtest/gtest.h>

#include "test_support.h"

namespace vboard::test {
namespace {

class FaultTest : public ::testing::Test {
  protected:
    void SetUp() override {
        board_ = std::make_unique<Board>(TestOptions(dir_));
        ASSERT_TRUE(board_->Start());
        device_ = OpenHandle(*board_);
    }

    TempDir dir_;
    std::unique_ptr<Board> board_;
    std::unique_ptr<Client> device_;
};

TEST_F(FaultTest, NormalPendsFirstAndImmediateDoesNot) {
    auto normal = device_->Call(TypeRequest(1));
    EXPECT_TRUE(normal.accepted);
    EXPECT_EQ(normal.done.error, 0u);

    board_->SetFault(Target::Type, {FaultMode::Immediate});
    auto immediate = device_->Call(TypeRequest(2));
    EXPECT_FALSE(immediate.accepted);
    EXPECT_EQ(immediate.done.window, vbus::Bytes{0x21});

    // Immediate only when the answer is there: an unarmed read still pends.
    board_->SetFault(Target::Pipe02, {FaultMode::Immediate});
    auto pipe = OpenHandle(*board_, "PIPE02");
    pipe->Start(ReadRequest(3, 4));
    device_->Call(TransferRequest(4, 1, 0, 4));
    EXPECT_EQ(pipe->WaitDone(3).information, 4u);
    device_->Call(TransferRequest(5, 1, 0, 4));
    EXPECT_FALSE(pipe->Call(ReadRequest(6, 4)).accepted);
}

TEST_F(FaultTest, StallHoldsARequestUntilItIsCancelled) {
    board_->SetFault(Target::Pipe01, {FaultMode::Stall});
    auto pipe = OpenHandle(*board_, "PIPE01");
    pipe->Start(WriteRequest(1, {1, 2, 3, 4, 5, 6, 7, 8}));
    pipe->Barrier();
    EXPECT_EQ(board_->Display(), Digits{});

    pipe->Send(vbus::Cancel{1});
    auto d = pipe->WaitDone(1);
    EXPECT_EQ(d.error, 995u);
    EXPECT_EQ(d.information, 0u);
    // A cancel for something that is no longer pending changes nothing.
    pipe->Send(vbus::Cancel{1});
    pipe->Barrier();
}

TEST_F(FaultTest, DelayHoldsTheAnswerThenGivesIt) {
    board_->SetFault(Target::Transfer, {FaultMode::Delay, 60000});
    device_->Start(TransferRequest(1, 1, 0, 4));
    device_->Barrier();  // the type query overtakes the delayed transfer request
    device_->Send(vbus::Cancel{1});
    EXPECT_EQ(device_->WaitDone(1).error, 995u);

    board_->SetFault(Target::Transfer, {FaultMode::Delay, 30});
    auto t = device_->Call(TransferRequest(2, 1, 0, 4));
    EXPECT_TRUE(t.accepted);
    EXPECT_EQ(t.done.error, 0u);
    // And the delayed request did its work: the pipe is armed.
    auto pipe = OpenHandle(*board_, "PIPE02");
    EXPECT_EQ(pipe->Call(ReadRequest(3, 4)).done.information, 4u);
}

TEST_F(FaultTest, FailAndRefuseEndAtOnceWithTheError) {
    board_->SetFault(Target::Transfer, {FaultMode::Fail, 31});
    auto t = device_->Call(TransferRequest(1, 1, 0, 4));
    EXPECT_FALSE(t.accepted);
    EXPECT_EQ(t.done.error, 31u);
    // A refused transfer request arms nothing.
    auto pipe = OpenHandle(*board_, "PIPE02");
    pipe->Start(ReadRequest(2, 4));
    pipe->Barrier();

    board_->SetFault(Target::Pipe02, {FaultMode::Fail, 1117});
    EXPECT_EQ(pipe->Call(ReadRequest(3, 4)).done.error, 1117u);
}

TEST_F(FaultTest, ShortMovesFewerBytes) {
    board_->SetFault(Target::Pipe02, {FaultMode::Short, 2});
    board_->SetFault(Target::Pipe03, {FaultMode::Short, 1});
    WriteThroughPipes(*board_, 0, {0xaa});  // the helper writes one byte, which the fault allows
    auto device = OpenHandle(*board_);
    auto out = OpenHandle(*board_, "PIPE03");
    device->Call(TransferRequest(1, 0, 1, 3));
    auto w = out->Call(WriteRequest(2, {0xbb, 0xcc, 0xdd})).done;
    EXPECT_EQ(w.information, 1u);
    EXPECT_EQ(board_->EepromContents()[1], 0xbb);
    EXPECT_EQ(board_->EepromContents()[2], 0xff);

    auto in = OpenHandle(*board_, "PIPE02");
    device->Call(TransferRequest(3, 1, 0, 4));
    auto r = in->Call(ReadRequest(4, 4)).done;
    EXPECT_EQ(r.error, 0u);
    EXPECT_EQ(r.output, (vbus::Bytes{0xaa, 0xbb}));
}

TEST_F(FaultTest, TheTypeQueryCanSucceedWithoutTheByte) {
    board_->SetFault(Target::Type, {FaultMode::NoByte});
    auto d = device_->Call(TypeRequest(1)).done;
    EXPECT_EQ(d.error, 0u);
    EXPECT_EQ(d.information, 0u);
    EXPECT_TRUE(d.output.empty());
    EXPECT_TRUE(d.window.empty());
}

TEST_F(FaultTest, OpensCanBeRefusedPerPipe) {
    board_->SetPipeOpenError(2, 5);
    auto c = Client::Connect(*board_);
    EXPECT_EQ(c->Hello(vbus::Purpose::Open, board_->DevicePath() + "\\PIPE02").error, 5u);
    auto other = Client::Connect(*board_);
    EXPECT_EQ(other->Hello(vbus::Purpose::Open, board_->DevicePath() + "\\PIPE03").error, 0u);
    board_->ClearFaults();
    auto again = Client::Connect(*board_);
    EXPECT_EQ(again->Hello(vbus::Purpose::Open, board_->DevicePath() + "\\PIPE02").error, 0u);
}

TEST_F(FaultTest, ACancelDelayKeepsTheRequestAliveAfterTheCancel) {
    board_->SetFault(Target::Pipe00, {FaultMode::Stall});
    auto pipe = OpenHandle(*board_, "PIPE00");

    board_->SetCancelDelay(60000);
    pipe->Start(ReadRequest(1, 4));
    pipe->Send(vbus::Cancel{1});
    pipe->Barrier();          // no DONE 995 yet
    board_->SetKey(0, true);  // a stalled, cancelling read takes no report either
    pipe->Barrier();

    board_->SetCancelDelay(20);
    pipe->Start(ReadRequest(2, 4));
    pipe->Send(vbus::Cancel{2});
    EXPECT_EQ(pipe->WaitDone(2).error, 995u);

    // Both cancels are in the log; the first request's DONE is still to come.
    int cancels = 0, aborted = 0;
    for (const auto& e : board_->TrafficLog()) {
        cancels += e.op == LogOp::Cancel && e.error == 0;
        aborted += e.error == 995;
    }
    EXPECT_EQ(cancels, 2);
    EXPECT_EQ(aborted, 1);
}

// A board that ignores cancels: a cancelled request ends only as it would have without the
// cancel, and one that is stalled stays until its handle closes.
TEST_F(FaultTest, IgnoredCancelsLeaveTheRequestAsItWas) {
    board_->SetCancelDelay(kCancelIgnored);
    EXPECT_EQ(board_->Execute("faults").text.find("cancel ignore") != std::string::npos, true);
    auto pipe = OpenHandle(*board_, "PIPE02");
    pipe->Start(ReadRequest(1, 4));
    pipe->Send(vbus::Cancel{1});
    pipe->Barrier();
    device_->Call(TransferRequest(2, 1, 0, 4));
    EXPECT_EQ(pipe->WaitDone(1).error, 0u);

    board_->SetFault(Target::Pipe01, {FaultMode::Stall});
    auto digits = OpenHandle(*board_, "PIPE01");
    digits->Start(WriteRequest(3, {1, 2, 3, 4, 5, 6, 7, 8}));
    digits->Send(vbus::Cancel{3});
    digits->Barrier();
    EXPECT_EQ(board_->Execute("fault cancel delay 0").ok, true);
    digits->Send(vbus::Cancel{3});  // heard now
    EXPECT_EQ(digits->WaitDone(3).error, 995u);
}

// An unplug ends what is pending with 1167, as a driver does on a surprise removal; with
// "fault unplug keep" it stays pending (a driver that completes nothing), until its handle closes.
TEST_F(FaultTest, AnUnplugEndsPendingRequestsUnlessTheyAreKept) {
    for (const bool keep : {false, true}) {
        SCOPED_TRACE(keep ? "keep" : "fail");
        EXPECT_TRUE(board_->Execute(keep ? "fault unplug keep" : "fault unplug fail").ok);
        EXPECT_NE(board_->Execute("faults").text.find(keep ? "unplug keep" : "unplug fail"), std::string::npos);
        auto pipe = OpenHandle(*board_, "PIPE02");
        pipe->Start(ReadRequest(1, 4));
        pipe->Barrier();
        board_->Unplug();
        if (keep) {
            pipe->Barrier();
            int ended = 0;  // the first round's read, ended by its unplug
            for (const auto& e : board_->TrafficLog()) ended += e.op == LogOp::Read && e.status == LogStatus::Completed;
            EXPECT_EQ(ended, 1) << "the read ended at the unplug";
        } else {
            EXPECT_EQ(pipe->WaitDone(1).error, 1167u);
        }
        board_->Plug();
    }
    EXPECT_FALSE(board_->Execute("fault unplug later").ok);
}

TEST_F(FaultTest, TheTrafficLogTellsWhatHappened) {
    auto pipe = OpenHandle(*board_, "PIPE02");
    pipe->Start(ReadRequest(7, 16));
    device_->Call(TransferRequest(8, 1, 32, 4));
    pipe->WaitDone(7);

    std::vector<LogEntry> log = board_->TrafficLog();
    auto find = [&](LogOp op, LogStatus status, const std::string& target) -> const LogEntry* {
        for (const auto& e : log)
            if (e.op == op && e.status == status && e.target == target) return &e;
        return nullptr;
    };
    const LogEntry* pending = find(LogOp::Read, LogStatus::Pending, "PIPE02");
    const LogEntry* read = find(LogOp::Read, LogStatus::Completed, "PIPE02");
    const LogEntry* ioctl = find(LogOp::Ioctl, LogStatus::Completed, "device");
    ASSERT_TRUE(pending && read && ioctl);
    EXPECT_EQ(read->requestId, 7u);
    EXPECT_EQ(read->asked, 16u);
    EXPECT_EQ(read->moved, 4u);
    EXPECT_EQ(ioctl->code, kIoctlTransfer);
    EXPECT_LT(pending->sequence, ioctl->sequence);
    EXPECT_LT(ioctl->sequence, read->sequence);
    EXPECT_NE(FormatLogEntry(*read).find("PIPE02 read id=7 asked=16 moved=4 error=0 completed"),
              std::string::npos)
        << FormatLogEntry(*read);

    // The ring keeps only the newest entries.
    TempDir dir;
    auto o = TestOptions(dir);
    o.logCapacity = 3;
    Board small(o);
    ASSERT_TRUE(small.Start());
    auto d = OpenHandle(small);
    for (std::uint32_t id = 1; id <= 5; ++id) d->Call(TypeRequest(id));
    auto kept = small.TrafficLog();
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(kept.back().requestId, 5u);
    EXPECT_EQ(kept.front().sequence + 2, kept.back().sequence);
}

}  // namespace
}  // namespace vboard::test
