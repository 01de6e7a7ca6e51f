// The board's lifecycle, its attachment to the bus, and the model's setters.
#include "board_core.h"

#include <cstdio>
#include <filesystem>

#include "eeprom_file.h"
#include "platform.h"
#include "vbus/bus_dir.h"

namespace vboard {

namespace {
constexpr int kSecondsPerDay = 24 * 60 * 60;
constexpr int kMaxSlot = 9999;

int ToSeconds(const ClockTime& t) { return (t.hours * 60 + t.minutes) * 60 + t.seconds; }
}  // namespace

BoardCore::BoardCore(BoardOptions options, CommandHandler commands)
    : options_(std::move(options)),
      commands_(std::move(commands)),
      type_(options_.type),
      clockRunning_(options_.clockRunning),
      plugged_(options_.plugged),
      reportIntervalMs_(options_.reportIntervalMs > 0 ? options_.reportIntervalMs : 0),
      log_(options_.logCapacity > 0 ? static_cast<std::size_t>(options_.logCapacity) : 1) {
    eeprom_.fill(0xFF);
    clockSeconds_ = ToSeconds(options_.clock ? *options_.clock : LocalTimeOfDay());
}

BoardCore::~BoardCore() {
    Stop();
    timers_.Stop();
}

bool BoardCore::Start(std::string* why) {
    std::string reason;
    auto fail = [&](std::string text) {
        if (why) *why = text;
        return false;
    };
    std::lock_guard lock(mu_);
    if (started_) return fail("a board starts only once");
    busDir_ = options_.busDir.empty() ? vbus::DefaultBusDirectory() : options_.busDir;
    if (!vbus::EnsureBusDirectory(busDir_, &reason)) return fail(reason);
    if (!waker_.Valid()) return fail("cannot make the event loop's wake-up pipe");

    // Pick the slot, load the EEPROM, then appear on the bus: all under the bus lock so that two
    // boards starting at once never take the same slot, and a refused start leaves no trace.
    auto busLock = LockBus(busDir_);
    int slot = options_.slot;
    if (slot < 0) {
        for (slot = 0; slot <= kMaxSlot && SlotAnswers(busDir_, slot); ++slot) {
        }
        if (slot > kMaxSlot) return fail("no free slot on the bus " + busDir_);
    } else if (SlotAnswers(busDir_, slot)) {
        return fail("slot " + std::to_string(slot) + " is taken by another board on " + busDir_);
    }

    eepromPath_ = options_.eepromFile.empty() ? DefaultEepromPath(slot) : options_.eepromFile;
    if (eepromPath_.empty()) return fail("no place for the EEPROM file: set HOME or give one");
    switch (LoadEepromFile(eepromPath_, !options_.eepromFile.empty(), eeprom_, reason)) {
        case EepromLoad::Refused:
            return fail(reason);
        case EepromLoad::Missing:
        case EepromLoad::Loaded:
            break;
    }

    slot_ = slot;
    vbus::RemoveStaleTemporaries(vbus::StatePath(busDir_, slot_));  // of a board killed in this slot
    vbus::RemoveStaleTemporaries(vbus::TcpEndpointPath(busDir_, slot_));
    char serial[16];
    std::snprintf(serial, sizeof serial, "VB%06d", slot);
    devicePath_ = options_.devicePath.empty() ? "\\\\?\\vboard#board&" + std::to_string(slot) + "#" + serial +
                                                    "#" + kInterfaceGuidText
                                              : options_.devicePath;
    if (!vbus::ReplaceFileAtomically(vbus::StatePath(busDir_, slot_), plugged_ ? "plugged\n" : "unplugged\n"))
        return fail("cannot write " + vbus::StatePath(busDir_, slot_));
    if (!options_.recordFile.empty()) {
        recorder_ = SessionRecorder::Open(options_.recordFile, devicePath_, reason);
        if (!recorder_) {
            std::error_code ec;
            std::filesystem::remove(vbus::StatePath(busDir_, slot_), ec);
            return fail(reason);
        }
    }
    listener_ = ListenOnBus(busDir_, slot_, reason);
    if (!listener_) {
        std::error_code ec;
        std::filesystem::remove(vbus::StatePath(busDir_, slot_), ec);
        return fail(reason);
    }
    OpenTcpEndpoint();
    started_ = true;
    startTime_ = SteadyClock::now();
    nextTick_ = startTime_;
    ScheduleTick();
    ScheduleReport();
    diskThread_ = std::thread([this] { DiskLoop(); });
    commandThread_ = std::thread([this] { CommandLoop(); });
    loopThread_ = std::thread([this] { Loop(); });
    return true;
}

void BoardCore::OpenTcpEndpoint() {
    const std::string path = vbus::TcpEndpointPath(busDir_, slot_);
    std::string why;
    std::uint16_t port = 0;
    tcpListener_ = ListenOnLoopback(port, why);
    if (tcpListener_) {
        tcpSecret_ = vbus::NewSecret();
        if (vbus::PublishTcpEndpoint(path, vbus::TcpEndpoint{port, tcpSecret_})) return;
        why = "cannot write " + path;
        tcpListener_.reset();
    }
    std::error_code ec;
    std::filesystem::remove(path, ec);  // left by a board that died in this slot
    Diagnose("serving without a loopback TCP endpoint: " + why);
}

void BoardCore::Stop() {
    {
        std::lock_guard lock(mu_);
        if (!started_ || stopped_) return;
        stopped_ = true;
        ++tickGeneration_;
        ++reportGeneration_;
        savingEnded_.notify_all();  // a command waiting to save gives up
    }
    waker_.Wake();
    loopThread_.join();  // it closes every connection on its way out
    {
        std::lock_guard queue(commandMu_);
        commandQuit_ = true;
    }
    commandWake_.notify_one();
    commandThread_.join();  // after the command under way, if one is
    {
        std::lock_guard disk(diskMu_);
        diskQuit_ = true;
    }
    diskWake_.notify_one();
    diskThread_.join();  // after the save under way, if one is
    recorder_.reset();   // every connection is closed: the session is whole
    listener_->Close();
    if (tcpListener_) tcpListener_->Close();
    {
        std::lock_guard lock(mu_);
        savingEnded_.notify_all();
        for (auto& list : pending_) list.clear();
        connections_.clear();
        std::error_code ec;
        std::filesystem::remove(vbus::StatePath(busDir_, slot_), ec);
        if (tcpListener_) std::filesystem::remove(vbus::TcpEndpointPath(busDir_, slot_), ec);
    }
    listener_.reset();
    tcpListener_.reset();
    notifier_.Drain();  // observers have seen every change up to the detach
}

void BoardCore::Diagnose(const std::string& line) const {
    const std::string text = "vboard board-" + std::to_string(slot_) + ": " + line;
    if (options_.diagnostics)
        options_.diagnostics(text);
    else
        std::fprintf(stderr, "%s\n", text.c_str());
}

void BoardCore::WriteStateFile() {
    if (!started_ || stopped_) return;
    if (!vbus::ReplaceFileAtomically(vbus::StatePath(busDir_, slot_), plugged_ ? "plugged\n" : "unplugged\n"))
        Diagnose("cannot write " + vbus::StatePath(busDir_, slot_));
}

// ---- Clock and reports.

ClockTime BoardCore::ClockLocked() const {
    return ClockTime{clockSeconds_ / 3600, clockSeconds_ / 60 % 60, clockSeconds_ % 60};
}

void BoardCore::ScheduleTick() {
    if (!started_ || stopped_ || !clockRunning_) return;
    nextTick_ += std::chrono::seconds(1);
    const std::uint64_t generation = tickGeneration_;
    timers_.Schedule(nextTick_, [this, generation] {
        std::lock_guard lock(mu_);
        if (generation != tickGeneration_) return;
        clockSeconds_ = (clockSeconds_ + 1) % kSecondsPerDay;
        notifier_.Post([t = ClockLocked()](BoardObserver& o) { o.OnClockChanged(t); });
        ReportDue();
        ScheduleTick();
    });
}

void BoardCore::ScheduleReport() {
    if (!started_ || stopped_ || reportIntervalMs_ <= 0) return;
    const std::uint64_t generation = reportGeneration_;
    timers_.Schedule(SteadyClock::now() + std::chrono::milliseconds(reportIntervalMs_), [this, generation] {
        std::lock_guard lock(mu_);
        if (generation != reportGeneration_) return;
        ReportDue();
        ScheduleReport();
    });
}

void BoardCore::ReportDue() {
    reportDue_ = true;
    Pump();
}

vbus::Bytes BoardCore::Report() const {
    std::uint8_t key = kNoKey;
    for (int i = 0; i < kKeyCount; ++i)
        if (keys_ & (1u << i)) {
            key = static_cast<std::uint8_t>(i);
            break;
        }
    const ClockTime t = ClockLocked();
    return {key, ToBcd(t.seconds), ToBcd(t.minutes), ToBcd(t.hours)};
}

// ---- Accessors and setters.

int BoardCore::Slot() const {
    std::lock_guard lock(mu_);
    return slot_;
}
std::string BoardCore::DevicePath() const {
    std::lock_guard lock(mu_);
    return devicePath_;
}
std::string BoardCore::BusDirectory() const {
    std::lock_guard lock(mu_);
    return busDir_;
}
std::string BoardCore::EepromFile() const {
    std::lock_guard lock(mu_);
    return eepromPath_;
}

void BoardCore::SetKeyLocked(int key, bool down) {
    if (key < 0 || key >= kKeyCount) return;
    const auto before = keys_;
    if (down)
        keys_ = static_cast<std::uint8_t>(keys_ | 1u << key);
    else
        keys_ = static_cast<std::uint8_t>(keys_ & ~(1u << key));
    if (keys_ == before) return;
    notifier_.Post([k = keys_](BoardObserver& o) { o.OnKeysChanged(k); });
    ReportDue();
}

void BoardCore::SetKey(int key, bool down) {
    std::lock_guard lock(mu_);
    SetKeyLocked(key, down);
}

void BoardCore::PressKey(int key, int holdMs) {
    std::lock_guard lock(mu_);
    SetKeyLocked(key, true);
    timers_.Schedule(SteadyClock::now() + std::chrono::milliseconds(holdMs < 0 ? 0 : holdMs), [this, key] {
        std::lock_guard lock(mu_);
        SetKeyLocked(key, false);
    });
}

std::uint8_t BoardCore::HeldKeys() const {
    std::lock_guard lock(mu_);
    return keys_;
}

void BoardCore::SetClock(const ClockTime& time) {
    std::lock_guard lock(mu_);
    clockSeconds_ = ToSeconds(time) % kSecondsPerDay;
    ++tickGeneration_;  // the next tick is a whole second from now
    nextTick_ = SteadyClock::now();
    ScheduleTick();
    notifier_.Post([t = ClockLocked()](BoardObserver& o) { o.OnClockChanged(t); });
    ReportDue();
}

void BoardCore::SetClockRunning(bool running) {
    std::lock_guard lock(mu_);
    if (running == clockRunning_) return;
    clockRunning_ = running;
    ++tickGeneration_;
    nextTick_ = SteadyClock::now();
    ScheduleTick();
}

ClockTime BoardCore::Clock() const {
    std::lock_guard lock(mu_);
    return ClockLocked();
}

void BoardCore::SetType(std::uint8_t type) {
    std::lock_guard lock(mu_);
    type_ = type;
    notifier_.Post([type](BoardObserver& o) { o.OnTypeChanged(type); });
}

std::uint8_t BoardCore::Type() const {
    std::lock_guard lock(mu_);
    return type_;
}

void BoardCore::Unplug() {
    std::lock_guard lock(mu_);
    if (!plugged_) return;
    plugged_ = false;
    ++plugEpoch_;  // every handle opened so far is dead for good
    if (!faults_.keepPendingOnUnplug) FailEverythingPending(1167);
    readArm_.reset();
    writeArm_.reset();
    reportDue_ = false;
    WriteStateFile();
    notifier_.Post([](BoardObserver& o) { o.OnPlugChanged(false); });
}

void BoardCore::Plug() {
    std::lock_guard lock(mu_);
    if (plugged_) return;
    plugged_ = true;
    WriteStateFile();
    notifier_.Post([](BoardObserver& o) { o.OnPlugChanged(true); });
}

bool BoardCore::Plugged() const {
    std::lock_guard lock(mu_);
    return plugged_;
}

void BoardCore::SetRawReport(std::optional<std::vector<std::uint8_t>> bytes) {
    std::lock_guard lock(mu_);
    rawReport_ = std::move(bytes);
    ReportDue();
}

void BoardCore::SetReportInterval(int ms) {
    std::lock_guard lock(mu_);
    reportIntervalMs_ = ms > 0 ? ms : 0;
    ++reportGeneration_;
    ScheduleReport();
}

void BoardCore::SetFaultsLocked(const FaultSet& faults) {
    faults_ = faults;
    notifier_.Post([faults](BoardObserver& o) { o.OnFaultsChanged(faults); });
}

void BoardCore::SetFault(Target target, const Fault& fault) {
    std::lock_guard lock(mu_);
    FaultSet f = faults_;
    f.requests[static_cast<int>(target)] = fault;
    SetFaultsLocked(f);
    Pump();  // a stall lifted may free requests
}

void BoardCore::SetPipeOpenError(int pipe, std::uint32_t error) {
    if (pipe < 0 || pipe >= kPipeCount) return;
    std::lock_guard lock(mu_);
    FaultSet f = faults_;
    f.pipeOpenError[pipe] = error;
    SetFaultsLocked(f);
}

void BoardCore::SetDeviceOpenError(std::uint32_t error) {
    std::lock_guard lock(mu_);
    FaultSet f = faults_;
    f.deviceOpenError = error;
    SetFaultsLocked(f);
}

void BoardCore::SetCancelDelay(std::uint32_t ms) {
    std::lock_guard lock(mu_);
    FaultSet f = faults_;
    f.cancelDelayMs = ms;
    SetFaultsLocked(f);
}

void BoardCore::SetKeepPendingOnUnplug(bool keep) {
    std::lock_guard lock(mu_);
    FaultSet f = faults_;
    f.keepPendingOnUnplug = keep;
    SetFaultsLocked(f);
}

void BoardCore::ClearFaults() {
    std::lock_guard lock(mu_);
    SetFaultsLocked(FaultSet{});
    Pump();
}

FaultSet BoardCore::Faults() const {
    std::lock_guard lock(mu_);
    return faults_;
}

Eeprom BoardCore::EepromContents() const {
    std::lock_guard lock(mu_);
    return eeprom_;
}

bool BoardCore::WriteEeprom(int offset, const std::vector<std::uint8_t>& bytes, std::string* why) {
    std::unique_lock lock(mu_);
    if (!started_) {
        if (why) *why = "the board has not started (its EEPROM file is not loaded yet)";
        return false;
    }
    if (offset < 0 || offset > kEepromSize || bytes.size() > static_cast<std::size_t>(kEepromSize - offset)) {
        if (why) *why = "the bytes do not fit the EEPROM (256 bytes)";
        return false;
    }
    // One save at a time, and the board's lock is not held while the disk works: the loop
    // serves the other connections meanwhile (their PIPE03 writes wait for this save).
    savingEnded_.wait(lock, [&] { return !saving_ || stopped_; });
    if (stopped_) {
        if (why) *why = "the board has stopped";
        return false;
    }
    saving_ = true;
    Eeprom next = eeprom_;
    std::copy(bytes.begin(), bytes.end(), next.begin() + offset);
    lock.unlock();
    std::string reason;
    const bool saved = SaveEepromFile(eepromPath_, next, options_.syncWrites, reason);
    lock.lock();
    saving_ = false;
    savingEnded_.notify_all();
    if (saved) {
        eeprom_ = next;
        notifier_.Post(
            [offset, n = static_cast<int>(bytes.size())](BoardObserver& o) { o.OnEepromChanged(offset, n); });
    } else if (why) {
        *why = reason;
    }
    Pump();
    return saved;
}

Digits BoardCore::Display() const {
    std::lock_guard lock(mu_);
    return display_;
}

std::vector<LogEntry> BoardCore::TrafficLog(std::size_t count) const {
    std::lock_guard lock(mu_);
    return log_.Last(count);
}

BoardStatus BoardCore::Status() const {
    std::lock_guard lock(mu_);
    BoardStatus s;
    s.slot = slot_;
    s.devicePath = devicePath_;
    s.eepromFile = eepromPath_;
    s.plugged = plugged_;
    s.type = type_;
    s.heldKeys = keys_;
    s.clock = ClockLocked();
    s.clockRunning = clockRunning_;
    s.display = display_;
    s.reportIntervalMs = reportIntervalMs_;
    s.connections = static_cast<int>(connections_.size());
    s.faults = faults_;
    return s;
}

}  // namespace vboard
