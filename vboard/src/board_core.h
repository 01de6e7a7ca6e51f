// The board's engine: the model (EEPROM, keys, clock, display, type, plug state), the requests
// pending on its handles, faults, the traffic log, and the attachment to the bus. One lock guards
// it all. One event loop thread serves every connection; timers and observers each run on a
// thread of their own.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "connection.h"
#include "notifier.h"
#include "session_recorder.h"
#include "timer_queue.h"
#include "traffic_log.h"
#include "vboard/board.h"
#include "vboard/replay.h"
#include "vbus/tcp_endpoint.h"

namespace vboard {

class BoardCore {
  public:
    using CommandHandler = std::function<CommandResult(const std::string&)>;

    BoardCore(BoardOptions options, CommandHandler commands);
    ~BoardCore();

    bool Start(std::string* why);
    void Stop();
    bool Failed() const { return failed_.load(); }

    int Slot() const;
    std::string DevicePath() const;
    std::string BusDirectory() const;
    std::string EepromFile() const;

    void SetKey(int key, bool down);
    void PressKey(int key, int holdMs);
    std::uint8_t HeldKeys() const;
    void SetClock(const ClockTime& time);
    void SetClockRunning(bool running);
    ClockTime Clock() const;
    void SetType(std::uint8_t type);
    std::uint8_t Type() const;
    void Unplug();
    void Plug();
    bool Plugged() const;
    void SetReportInterval(int ms);
    void SetRawReport(std::optional<std::vector<std::uint8_t>> bytes);
    void SetFault(Target target, const Fault& fault);
    void SetPipeOpenError(int pipe, std::uint32_t error);
    void SetDeviceOpenError(std::uint32_t error);
    void SetCancelDelay(std::uint32_t ms);
    void SetKeepPendingOnUnplug(bool keep);
    void ClearFaults();
    FaultSet Faults() const;
    Eeprom EepromContents() const;
    bool WriteEeprom(int offset, const std::vector<std::uint8_t>& bytes, std::string* why);
    Digits Display() const;
    std::vector<LogEntry> TrafficLog(std::size_t count) const;
    BoardStatus Status() const;

    void AddObserver(BoardObserver* observer) { notifier_.Add(observer); }
    void RemoveObserver(BoardObserver* observer) { notifier_.Remove(observer); }

  private:
    using SteadyClock = std::chrono::steady_clock;
    using ConnectionPtr = std::shared_ptr<Connection>;

    struct Arm {
        std::uint32_t offset = 0;
        std::uint32_t size = 0;
    };

    struct Request {
        std::uint64_t serial = 0;  // unique within the board
        ConnectionPtr connection;
        std::uint32_t id = 0;
        Target target = Target::Pipe00;
        vbus::Op op = vbus::Op::Read;
        std::uint32_t code = 0;
        std::uint32_t outLength = 0;
        vbus::Bytes input;
        Fault fault;
        std::uint32_t blockOffset = 0;  // transfer request: the EEPROM address
        std::uint16_t transferSize = 0;
        std::uint8_t transferDirection = 0;
        SteadyClock::time_point notBefore{};
        bool cancelling = false;
        std::optional<ReplayAnswer> replay;  // a replaying board's answer to it
        vbus::Bytes window;                  // a control code's data, as it came (for the record)
    };

    struct Outcome {
        std::uint32_t error = 0;
        std::uint32_t information = 0;
        vbus::Bytes output;
        vbus::Bytes window;
    };
    static Outcome ErrorOutcome(std::uint32_t error) {
        Outcome o;
        o.error = error;
        return o;
    }

    // Connections: the event loop (event_loop.cpp) and its thread's helpers.
    void Loop();
    void AcceptFrom(vbus::Listener& listener, bool secretFirst);
    // Reads what a connection has sent and handles its frames; false when it is to be closed
    // (`why` says why, empty when the peer just left).
    bool ReadFrom(const ConnectionPtr& connection, std::string& why);
    bool TakeSecret(Connection& connection, const std::uint8_t*& data, std::size_t& size, std::string& why);
    void CloseConnection(const ConnectionPtr& connection, const std::string& why);
    // Listens on loopback TCP and publishes the endpoint; a board without it still serves the
    // bus's own sockets.
    void OpenTcpEndpoint();
    // Handles one message; false with `why` on a protocol fault.
    bool Handle(const ConnectionPtr& connection, vbus::Message& message, std::string& why);
    void HandleHello(const ConnectionPtr& connection, const vbus::Hello& hello);
    bool HandleSubmit(const ConnectionPtr& connection, vbus::Submit& submit, std::string& why);
    // A replaying board's answer to a request (BoardOptions::replay); false, the difference
    // said, when the request is not the one recorded next.
    bool ReplayAnswerFor(const Connection& connection, const vbus::Submit& submit, const Request& request,
                         ReplayAnswer& answer);
    void HandleCancel(const ConnectionPtr& connection, std::uint32_t id);
    void Closed(const ConnectionPtr& connection);

    // Requests; all with mu_ held.
    bool Ready(const Request& request) const;
    Outcome Answer(Request& request);
    void Finish(Request& request, const Outcome& outcome, LogStatus status);
    // Answers a ready request: at once, or for a PIPE03 write once its EEPROM file is saved.
    void Serve(Request& request, LogStatus status);
    // Answers what is ready, looking only at the lists a change can have made ready.
    void Pump();
    // Serves the first ready request of the target's list; false when none is ready.
    bool ServeFirstReady(Target target);
    std::list<Request>& PendingOn(Target target) { return pending_[static_cast<int>(target)]; }
    // The lists a handle's requests can be on: a pipe's own and its resets, or the device's two.
    std::array<Target, 2> TargetsOf(const Connection& connection) const;
    void CompleteCancelled(Target target, std::uint64_t serial);
    void FailEverythingPending(std::uint32_t error);

    // EEPROM saves, one at a time, off the event loop: a PIPE03 write is answered when its
    // file is saved, and meanwhile the loop serves every other connection.
    struct SaveJob {
        Request request;
        LogStatus status = LogStatus::Completed;
        Eeprom image{};
        std::uint32_t offset = 0, count = 0;
        bool torn = false;  // FaultMode::Tear: the bytes are kept, the write fails
    };
    void DiskLoop();
    // Control commands, one after another in the order they came, each answered when done.
    void CommandLoop();
    void EndSave(SaveJob& job, bool saved, const std::string& why);  // mu_ held
    LogEntry NewEntry(const Connection& connection, LogOp op) const;
    void Record(LogEntry entry);

    // Model; all with mu_ held.
    vbus::Bytes Report() const;
    ClockTime ClockLocked() const;
    void ScheduleTick();
    void ScheduleReport();
    void ReportDue();
    void WriteStateFile();
    void SetFaultsLocked(const FaultSet& faults);
    void SetKeyLocked(int key, bool down);
    void Diagnose(const std::string& line) const;

    mutable std::mutex mu_;
    BoardOptions options_;
    std::unique_ptr<SessionRecorder> recorder_;  // --record; called with mu_ held
    CommandHandler commands_;

    // Model.
    Eeprom eeprom_{};
    std::uint8_t type_;
    std::uint8_t keys_ = 0;
    int clockSeconds_ = 0;  // since midnight
    bool clockRunning_;
    Digits display_{};
    bool plugged_;
    std::uint64_t plugEpoch_ = 0;
    std::optional<Arm> readArm_, writeArm_;  // PIPE02, PIPE03
    bool reportDue_ = false;
    std::optional<vbus::Bytes> rawReport_;  // SetRawReport
    int reportIntervalMs_;
    FaultSet faults_;
    vboard::TrafficLog log_;

    // Requests, pending on each target in the order they came.
    std::array<std::list<Request>, kTargetCount> pending_;
    std::uint64_t nextSerial_ = 1;
    // An EEPROM save is under way (a PIPE03 write's, or WriteEeprom's): the next waits for it.
    bool saving_ = false;
    std::condition_variable savingEnded_;  // with mu_

    // The disk thread and its one job at a time; diskMu_ is taken after mu_, never before.
    std::thread diskThread_;
    std::mutex diskMu_;
    std::condition_variable diskWake_;
    std::optional<SaveJob> diskJob_;
    bool diskQuit_ = false;

    // The command thread and its queue; commandMu_ is taken alone.
    std::thread commandThread_;
    std::mutex commandMu_;
    std::condition_variable commandWake_;
    std::deque<std::pair<ConnectionPtr, std::string>> commandQueue_;
    bool commandQuit_ = false;

    // Attachment.
    bool started_ = false, stopped_ = false;
    int slot_ = -1;
    std::string busDir_, devicePath_, eepromPath_;
    SteadyClock::time_point startTime_ = SteadyClock::now();
    std::uint64_t tickGeneration_ = 0, reportGeneration_ = 0;
    SteadyClock::time_point nextTick_{};
    std::unique_ptr<vbus::Listener> listener_;
    std::unique_ptr<vbus::Listener> tcpListener_;  // nullptr when loopback TCP is not available
    vbus::Secret tcpSecret_{};                     // written before the loop starts, then only read
    std::uint32_t nextConnection_ = 1;
    std::map<std::uint32_t, ConnectionPtr> connections_;

    // The event loop. live_, the loop's own list of connections, and the counters below are
    // the loop thread's alone.
    vbus::Waker waker_;
    std::thread loopThread_;
    std::vector<ConnectionPtr> live_;
    std::vector<std::uint8_t> readBuffer_ = std::vector<std::uint8_t>(16384);
    SteadyClock::time_point lastEvictionNote_{};
    std::atomic<bool> failed_{false};

    // Declared last: destroyed first, so no timer or observer call outlives the state above.
    Notifier notifier_;
    TimerQueue timers_;
};

}  // namespace vboard
