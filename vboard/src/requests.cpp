// The board's side of the bus protocol: connections, opens, and the requests on its handles.
#include <algorithm>

#include "board_core.h"
#include "control_block.h"
#include "eeprom_file.h"

namespace vboard {

namespace {

constexpr std::size_t kMaxPendingPerHandle = 1024;
constexpr std::size_t kMaxQueuedCommands = 64;  // per connection
constexpr std::size_t kMaxLoggedPath = 120;

constexpr std::uint32_t kErrorInvalidFunction = 1;
constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorGenFailure = 31;
constexpr std::uint32_t kErrorNotSupported = 50;
constexpr std::uint32_t kErrorInvalidParameter = 87;
constexpr std::uint32_t kErrorOperationAborted = 995;
constexpr std::uint32_t kErrorDeviceNotConnected = 1167;
constexpr std::uint32_t kErrorNotFound = 1168;

LogOp LogOpOf(vbus::Op op) {
    switch (op) {
        case vbus::Op::Read:
            return LogOp::Read;
        case vbus::Op::Write:
            return LogOp::Write;
        case vbus::Op::Ioctl:
            return LogOp::Ioctl;
    }
    return LogOp::Read;
}

// "device" or "PIPE00".."PIPE03", as the session record names a handle.
std::string HandleName(const Connection& c) {
    return c.kind == ConnectionKind::Pipe ? TargetName(static_cast<Target>(c.pipe)) : "device";
}

std::uint32_t Clip(std::uint32_t n, const Fault& fault) {
    return fault.mode == FaultMode::Short ? std::min(n, fault.value) : n;
}

}  // namespace

// ---- Connections.

bool BoardCore::Handle(const ConnectionPtr& connection, vbus::Message& message, std::string& why) {
    ConnectionKind kind;
    {
        std::lock_guard lock(mu_);
        kind = connection->kind;
    }
    const std::string name = vbus::MessageName(message);
    if (kind == ConnectionKind::New && !std::holds_alternative<vbus::Hello>(message)) {
        why = name + " before HELLO";
        return false;
    }
    if (auto* hello = std::get_if<vbus::Hello>(&message)) {
        if (kind != ConnectionKind::New) {
            why = "a second HELLO";
            return false;
        }
        HandleHello(connection, *hello);
        return true;
    }
    if (auto* submit = std::get_if<vbus::Submit>(&message)) return HandleSubmit(connection, *submit, why);
    if (auto* cancel = std::get_if<vbus::Cancel>(&message)) {
        if (kind != ConnectionKind::Device && kind != ConnectionKind::Pipe) {
            why = "CANCEL on a connection that is no handle";
            return false;
        }
        HandleCancel(connection, cancel->id);
        return true;
    }
    if (auto* command = std::get_if<vbus::Command>(&message)) {
        if (kind != ConnectionKind::Control) {
            why = "COMMAND on a connection that is no control connection";
            return false;
        }
        // Run on the command thread: a command may save the EEPROM, and the loop waits on no disk.
        // Each connection's share of the queue is bounded: a client that sends commands faster
        // than they run is told so, and the others' commands still go in.
        {
            std::lock_guard queue(commandMu_);
            if (connection->queuedCommands >= kMaxQueuedCommands) {
                connection->Send(vbus::Reply{false, "the board is busy: too many commands waiting"});
                return true;
            }
            ++connection->queuedCommands;
            commandQueue_.emplace_back(connection, std::move(command->text));
        }
        commandWake_.notify_one();
        return true;
    }
    why = name + " is not for the board to receive";
    return false;
}

void BoardCore::HandleHello(const ConnectionPtr& c, const vbus::Hello& hello) {
    std::lock_guard lock(mu_);
    vbus::Welcome welcome;
    welcome.present = plugged_;
    welcome.interfaceGuid = InterfaceGuid();
    welcome.devicePath = devicePath_;
    if (hello.version != vbus::kProtocolVersion) {
        welcome.error = kErrorNotSupported;
        c->kind = ConnectionKind::Refused;
        c->Send(welcome);
        c->CloseAfterFlush();
        Diagnose("refusing " + c->PeerName() + ": protocol version " + std::to_string(hello.version));
        return;
    }
    switch (hello.purpose) {
        case vbus::Purpose::Probe: {
            c->kind = ConnectionKind::Probe;
            c->Send(welcome);
            LogEntry e = NewEntry(*c, LogOp::Probe);
            e.target = "device";
            Record(e);
            return;
        }
        case vbus::Purpose::Control:
            c->kind = ConnectionKind::Control;
            c->Send(welcome);
            return;
        case vbus::Purpose::Open:
            break;
    }

    // The device path exactly, or the device path, a backslash and PIPE00..PIPE03.
    const std::string& path = hello.path;
    int pipe = -2;
    if (path == devicePath_) {
        pipe = -1;
    } else if (path.size() == devicePath_.size() + 7 &&
               path.compare(0, devicePath_.size(), devicePath_) == 0 &&
               path.compare(devicePath_.size(), 6, "\\PIPE0") == 0 && path.back() >= '0' &&
               path.back() <= '3') {
        pipe = path.back() - '0';
    }
    std::uint32_t error = 0;
    if (pipe == -2 || !plugged_)
        error = kErrorFileNotFound;
    else if (pipe == -1)
        error = faults_.deviceOpenError;
    else
        error = faults_.pipeOpenError[pipe];
    if (error == 0) {
        c->kind = pipe < 0 ? ConnectionKind::Device : ConnectionKind::Pipe;
        c->pipe = pipe;
        c->plugEpoch = plugEpoch_;
        if (options_.replay) options_.replay->HandleOpened();
    } else {
        c->kind = ConnectionKind::Refused;
    }
    welcome.error = error;
    c->Send(welcome);
    if (recorder_)
        recorder_->Opened(c->Id(),
                          pipe == -2 ? "device"
                          : pipe < 0 ? "device"
                                     : TargetName(static_cast<Target>(pipe)),
                          error, path);

    LogEntry e = NewEntry(*c, LogOp::Open);
    if (pipe == -2)
        e.target = path.size() > kMaxLoggedPath ? path.substr(0, kMaxLoggedPath) + "..." : path;
    else
        e.target = pipe < 0 ? "device" : TargetName(static_cast<Target>(pipe));
    e.error = error;
    Record(e);
}

bool BoardCore::HandleSubmit(const ConnectionPtr& c, vbus::Submit& s, std::string& why) {
    std::lock_guard lock(mu_);
    if (c->kind != ConnectionKind::Device && c->kind != ConnectionKind::Pipe) {
        why = "SUBMIT on a connection that is no handle";
        return false;
    }
    for (Target target : TargetsOf(*c))
        if (std::any_of(PendingOn(target).begin(), PendingOn(target).end(),
                        [&](const Request& r) { return r.connection == c && r.id == s.id; })) {
            why = "SUBMIT reuses the id " + std::to_string(s.id) + " of a pending request";
            return false;
        }
    if (c->pending >= kMaxPendingPerHandle) {
        why = "more than " + std::to_string(kMaxPendingPerHandle) + " requests pending";
        return false;
    }

    Request r;
    r.serial = nextSerial_++;
    r.connection = c;
    r.id = s.id;
    r.op = s.op;
    r.code = s.code;
    r.outLength = s.outLength;
    r.input = s.input;
    r.window = s.window;

    LogEntry e = NewEntry(*c, LogOpOf(s.op));
    e.requestId = s.id;
    e.code = s.op == vbus::Op::Ioctl ? s.code : 0;
    e.asked = s.op == vbus::Op::Write ? static_cast<std::uint32_t>(r.input.size()) : s.outLength;
    auto failNow = [&](std::uint32_t error) {
        c->Send(vbus::Done{s.id, error, 0, {}, {}});
        if (recorder_) recorder_->Request(c->Id(), HandleName(*c), s.id, s, false, error, 0, {}, {});
        e.error = error;
        e.status = LogStatus::Immediate;
        Record(e);
        return true;
    };

    // Which target, and whether this handle can do it at all.
    if (c->kind == ConnectionKind::Device) {
        if (s.op != vbus::Op::Ioctl) return failNow(kErrorInvalidFunction);
        if (s.code == kIoctlTransfer)
            r.target = Target::Transfer;
        else if (s.code == kIoctlBoardType)
            r.target = Target::Type;
        else
            return failNow(kErrorInvalidFunction);
    } else if (s.op == vbus::Op::Ioctl) {
        if (s.code != kIoctlResetPipe) return failNow(kErrorInvalidFunction);
        r.target = Target::Reset;
    } else {
        const bool readPipe = c->pipe == 0 || c->pipe == 2;
        if ((s.op == vbus::Op::Read) != readPipe) return failNow(kErrorInvalidFunction);
        r.target = static_cast<Target>(c->pipe);
    }
    if (c->plugEpoch != plugEpoch_ || !plugged_) return failNow(kErrorDeviceNotConnected);

    if (r.target == Target::Transfer || r.target == Target::Type) {
        const auto block = ParseControlBlock(r.input);
        if (!block || block->length != s.window.size()) return failNow(kErrorInvalidParameter);
        if (r.target == Target::Transfer) {
            const auto command = ParseTransferCommand(s.window);
            if (block->request != kRequestEepromTransfer || !command || command->command > 1 ||
                block->offset >= static_cast<std::uint32_t>(kEepromSize) || command->size == 0 ||
                block->offset + command->size > static_cast<std::uint32_t>(kEepromSize))
                return failNow(kErrorInvalidParameter);
            r.blockOffset = block->offset;
            r.transferSize = command->size;
            r.transferDirection = command->command;
        } else if (block->request != kRequestBoardType || block->length != 1 || s.outLength < 1) {
            return failNow(kErrorInvalidParameter);
        }
    }

    // When the request is to be looked at again: after its delay.
    std::optional<SteadyClock::time_point> wakeAt;
    if (options_.replay) {
        ReplayAnswer answer;
        if (!ReplayAnswerFor(*c, s, r, answer)) return failNow(kErrorGenFailure);
        if (answer.atOnce && answer.error != 0) return failNow(answer.error);
        r.notBefore = SteadyClock::now() + std::chrono::milliseconds(answer.delayMs);
        if (!answer.never && answer.delayMs > 0) wakeAt = r.notBefore;
        r.replay = std::move(answer);
    } else {
        r.fault = faults_.requests[static_cast<int>(r.target)];
        if (r.fault.mode == FaultMode::Fail) return failNow(r.fault.value ? r.fault.value : kErrorGenFailure);
        if (r.fault.mode == FaultMode::Immediate && Ready(r)) {
            Serve(r, LogStatus::Immediate);
            return true;
        }
        if (r.fault.mode == FaultMode::Delay)
            wakeAt = r.notBefore = SteadyClock::now() + std::chrono::milliseconds(r.fault.value);
    }

    c->Send(vbus::Accepted{s.id});
    if (recorder_) recorder_->Request(c->Id(), HandleName(*c), s.id, s, true, 0, 0, {}, {});
    e.status = LogStatus::Pending;
    Record(e);
    if (wakeAt)
        timers_.Schedule(*wakeAt, [this] {
            std::lock_guard lock(mu_);
            Pump();
        });
    ++c->pending;
    const Target target = r.target;
    PendingOn(target).push_back(std::move(r));
    while (ServeFirstReady(target)) {
    }
    return true;
}

bool BoardCore::ReplayAnswerFor(const Connection& c, const vbus::Submit& s, const Request& r,
                                ReplayAnswer& answer) {
    ReplayRequest asked;
    asked.target = r.target;
    asked.pipe = c.kind == ConnectionKind::Pipe ? c.pipe : -1;
    asked.write = s.op == vbus::Op::Write;
    asked.code = s.code;
    asked.input = r.input;
    asked.window = s.window;
    asked.outLength = s.outLength;
    std::string difference;
    if (options_.replay->Next(asked, answer, difference)) return true;
    Diagnose("replay: " + difference);
    return false;
}

void BoardCore::HandleCancel(const ConnectionPtr& c, std::uint32_t id) {
    std::lock_guard lock(mu_);
    if (recorder_) recorder_->Cancelled(c->Id(), HandleName(*c));
    LogEntry e = NewEntry(*c, LogOp::Cancel);
    e.requestId = id;
    std::list<Request>* list = nullptr;
    std::list<Request>::iterator it;
    for (Target target : TargetsOf(*c)) {
        list = &PendingOn(target);
        it = std::find_if(list->begin(), list->end(),
                          [&](const Request& r) { return r.connection == c && r.id == id && !r.cancelling; });
        if (it != list->end()) break;
    }
    if (it == list->end()) {
        e.error = kErrorNotFound;  // completed already (or its save is under way), or never was
        Record(e);
        return;
    }
    Record(e);
    if (faults_.cancelDelayMs == kCancelIgnored) return;
    it->cancelling = true;
    if (faults_.cancelDelayMs == 0) {
        Finish(*it, ErrorOutcome(kErrorOperationAborted), LogStatus::Completed);
        list->erase(it);
        return;
    }
    timers_.Schedule(SteadyClock::now() + std::chrono::milliseconds(faults_.cancelDelayMs),
                     [this, target = it->target, serial = it->serial] {
                         std::lock_guard lock(mu_);
                         CompleteCancelled(target, serial);
                     });
}

void BoardCore::CompleteCancelled(Target target, std::uint64_t serial) {
    std::list<Request>& list = PendingOn(target);
    auto it = std::find_if(list.begin(), list.end(), [&](const Request& r) { return r.serial == serial; });
    if (it == list.end()) return;  // the handle closed or the board was unplugged meanwhile
    Finish(*it, ErrorOutcome(kErrorOperationAborted), LogStatus::Completed);
    list.erase(it);
}

std::array<Target, 2> BoardCore::TargetsOf(const Connection& c) const {
    if (c.kind == ConnectionKind::Pipe && c.pipe >= 0 && c.pipe < kPipeCount)
        return {static_cast<Target>(c.pipe), Target::Reset};
    return {Target::Transfer, Target::Type};
}

void BoardCore::Closed(const ConnectionPtr& c) {
    {
        std::lock_guard lock(mu_);
        // Closing a handle drops what is pending on it; nobody is left to tell.
        for (Target target : TargetsOf(*c))
            PendingOn(target).remove_if([&](const Request& r) { return r.connection == c; });
        c->pending = 0;
        if (c->kind == ConnectionKind::Device || c->kind == ConnectionKind::Pipe) {
            Record(NewEntry(*c, LogOp::Close));
            if (options_.replay) options_.replay->HandleClosed();
            if (recorder_) recorder_->Closed(c->Id(), HandleName(*c));
        }
        connections_.erase(c->Id());
    }
}

// ---- Requests.

bool BoardCore::Ready(const Request& r) const {
    if (r.replay) return !r.cancelling && !r.replay->never && SteadyClock::now() >= r.notBefore;
    if (r.cancelling || r.fault.mode == FaultMode::Stall) return false;
    if (r.fault.mode == FaultMode::Delay && SteadyClock::now() < r.notBefore) return false;
    switch (r.target) {
        case Target::Pipe00:
            return reportDue_;
        case Target::Pipe02:
            return readArm_.has_value();
        case Target::Pipe03:
            return writeArm_.has_value() && !saving_;
        default:
            return true;
    }
}

BoardCore::Outcome BoardCore::Answer(Request& r) {
    Outcome out;
    switch (r.target) {
        case Target::Pipe00: {
            vbus::Bytes report = rawReport_ ? *rawReport_ : Report();
            report.resize(
                std::min<std::size_t>(report.size(), Clip(std::min<std::uint32_t>(r.outLength, 4), r.fault)));
            out.information = static_cast<std::uint32_t>(report.size());
            out.output = std::move(report);
            reportDue_ = false;
            break;
        }
        case Target::Pipe01: {
            const auto n = Clip(
                std::min<std::uint32_t>(static_cast<std::uint32_t>(r.input.size()), kDigitCount), r.fault);
            std::copy(r.input.begin(), r.input.begin() + n, display_.begin());
            out.information = n;
            notifier_.Post([d = display_](BoardObserver& o) { o.OnDisplayChanged(d); });
            break;
        }
        case Target::Pipe02: {
            const Arm arm = *readArm_;
            readArm_.reset();
            const auto n = Clip(std::min(r.outLength, arm.size), r.fault);
            out.output.assign(eeprom_.begin() + arm.offset, eeprom_.begin() + arm.offset + n);
            out.information = n;
            break;
        }
        case Target::Pipe03:  // a write that moves no byte; those that do are saved first (Serve)
            writeArm_.reset();
            break;
        case Target::Reset:
            break;
        case Target::Transfer: {
            const Arm arm{r.blockOffset, r.transferSize};
            if (r.transferDirection == 1)
                readArm_ = arm;
            else
                writeArm_ = arm;
            break;
        }
        case Target::Type: {
            if (r.fault.mode == FaultMode::NoByte || (r.fault.mode == FaultMode::Short && r.fault.value == 0))
                break;
            out.output = {type_};
            out.window = {type_};
            out.information = 1;
            break;
        }
    }
    return out;
}

void BoardCore::Finish(Request& r, const Outcome& outcome, LogStatus status) {
    r.connection->Send(vbus::Done{r.id, outcome.error, outcome.information, outcome.output, outcome.window});
    if (recorder_) {
        const std::string name = HandleName(*r.connection);
        if (status == LogStatus::Immediate) {
            vbus::Submit asked{r.id, r.op, r.code, r.outLength, r.input, r.window};
            recorder_->Request(r.connection->Id(), name, r.id, asked, false, outcome.error,
                               outcome.information, outcome.output, outcome.window);
        } else {
            recorder_->Done(r.connection->Id(), name, r.id, outcome.error, outcome.information,
                            outcome.output, outcome.window);
        }
    }
    if (status == LogStatus::Completed && r.connection->pending > 0) --r.connection->pending;
    LogEntry e = NewEntry(*r.connection, LogOpOf(r.op));
    e.requestId = r.id;
    e.code = r.op == vbus::Op::Ioctl ? r.code : 0;
    e.asked = r.op == vbus::Op::Write ? static_cast<std::uint32_t>(r.input.size()) : r.outLength;
    e.moved = outcome.information;
    e.error = outcome.error;
    e.status = status;
    Record(e);
}

void BoardCore::Serve(Request& r, LogStatus status) {
    if (r.replay) {
        Outcome out;
        out.error = r.replay->error;
        out.information = r.replay->information;
        out.output = r.replay->output;
        out.window = r.replay->window;
        if (r.replay->liveClock && out.output.size() >= 4) {
            const vbus::Bytes live = Report();
            std::copy(live.begin() + 1, live.end(), out.output.begin() + 1);
        }
        Finish(r, out, status);
        return;
    }
    if (r.target == Target::Pipe03) {
        const Arm arm = *writeArm_;
        const bool torn = r.fault.mode == FaultMode::Tear;
        auto n = Clip(std::min(static_cast<std::uint32_t>(r.input.size()), arm.size), r.fault);
        if (torn) n = std::min(n, r.fault.value);
        if (torn && n == 0) {
            writeArm_.reset();
            Finish(r, ErrorOutcome(kErrorGenFailure), status);
            return;
        }
        if (n > 0) {
            // Acknowledged only once the file holds it, so a killed board loses nothing
            // acknowledged; the save runs on the disk thread and the loop goes on meanwhile.
            writeArm_.reset();
            SaveJob job{std::move(r), status, eeprom_, arm.offset, n, torn};
            std::copy(job.request.input.begin(), job.request.input.begin() + n,
                      job.image.begin() + arm.offset);
            saving_ = true;
            {
                std::lock_guard disk(diskMu_);
                diskJob_ = std::move(job);
            }
            diskWake_.notify_one();
            return;
        }
    }
    Finish(r, Answer(r), status);
}

bool BoardCore::ServeFirstReady(Target target) {
    std::list<Request>& list = PendingOn(target);
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (!Ready(*it)) continue;
        Request r = std::move(*it);
        list.erase(it);
        Serve(r, LogStatus::Completed);
        // A transfer request arms its pipe: a read or write waiting there goes now.
        if (target == Target::Transfer)
            while (ServeFirstReady(r.transferDirection == 1 ? Target::Pipe02 : Target::Pipe03)) {
            }
        return true;
    }
    return false;
}

void BoardCore::Pump() {
    for (int t = 0; t < kTargetCount; ++t)
        while (ServeFirstReady(static_cast<Target>(t))) {
        }
}

void BoardCore::FailEverythingPending(std::uint32_t error) {
    for (auto& list : pending_) {
        for (auto& r : list) Finish(r, ErrorOutcome(error), LogStatus::Completed);
        list.clear();
    }
}

void BoardCore::CommandLoop() {
    for (;;) {
        std::pair<ConnectionPtr, std::string> next;
        {
            std::unique_lock queue(commandMu_);
            commandWake_.wait(queue, [&] { return !commandQueue_.empty() || commandQuit_; });
            if (commandQuit_) return;  // the board is detaching: its connections are closed
            next = std::move(commandQueue_.front());
            commandQueue_.pop_front();
            --next.first->queuedCommands;
        }
        const CommandResult result = commands_ ? commands_(next.second) : CommandResult{false, "no commands"};
        next.first->Send(vbus::Reply{result.ok, result.text});
    }
}

void BoardCore::DiskLoop() {
    for (;;) {
        SaveJob job;
        {
            std::unique_lock disk(diskMu_);
            diskWake_.wait(disk, [&] { return diskJob_.has_value() || diskQuit_; });
            if (!diskJob_) return;
            job = std::move(*diskJob_);
            diskJob_.reset();
        }
        std::string why;
        const bool saved = SaveEepromFile(eepromPath_, job.image, options_.syncWrites, why);
        std::lock_guard lock(mu_);
        EndSave(job, saved, why);
    }
}

void BoardCore::EndSave(SaveJob& job, bool saved, const std::string& why) {
    saving_ = false;
    savingEnded_.notify_all();
    Outcome out;
    if (saved) {
        eeprom_ = job.image;
        out.information = job.count;
        notifier_.Post([offset = static_cast<int>(job.offset),
                        n = static_cast<int>(job.count)](BoardObserver& o) { o.OnEepromChanged(offset, n); });
        if (job.torn) out = ErrorOutcome(kErrorGenFailure);  // the first bytes are in, the rest never came
    } else {
        Diagnose(why);
        out = ErrorOutcome(kErrorGenFailure);
    }
    Connection& c = *job.request.connection;
    // A handle closed meanwhile has nobody to tell; one the board was unplugged from meanwhile
    // hears what every request pending at the unplug heard.
    const auto open = connections_.find(c.Id());
    if (open != connections_.end() && open->second == job.request.connection) {
        if (c.plugEpoch != plugEpoch_ && !faults_.keepPendingOnUnplug)
            out = ErrorOutcome(kErrorDeviceNotConnected);
        Finish(job.request, out, job.status);
    }
    Pump();
}

LogEntry BoardCore::NewEntry(const Connection& c, LogOp op) const {
    LogEntry e;
    e.timeMs = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - startTime_).count());
    e.handle = c.Id();
    e.op = op;
    if (c.kind == ConnectionKind::Device)
        e.target = "device";
    else if (c.kind == ConnectionKind::Pipe)
        e.target = TargetName(static_cast<Target>(c.pipe));
    else
        e.target = "-";
    return e;
}

void BoardCore::Record(LogEntry entry) {
    const LogEntry& stored = log_.Add(std::move(entry));
    notifier_.Post([e = stored](BoardObserver& o) { o.OnTraffic(e); });
}

}  // namespace vboard
