#include "vboard/replay.h"

#include <fstream>
#include <map>
#include <sstream>

#include "control_block.h"
#include "hex.h"

namespace vboard {
namespace {

constexpr std::uint32_t kErrorIoPending = 997;
constexpr std::uint32_t kErrorOperationAborted = 995;

// One line of a trace: "ID TIME THREAD CALL key=value ... [path=rest of the line]".
struct TraceLine {
    int line = 0;
    std::string id, call;
    std::map<std::string, std::string> fields;
};

std::optional<TraceLine> Split(const std::string& text, int number, std::string& why) {
    TraceLine t;
    t.line = number;
    std::string rest = text;
    const std::size_t path = rest.find(" path=");
    if (path != std::string::npos) {
        t.fields["path"] = rest.substr(path + 6);
        rest.resize(path);
    }
    std::istringstream words(rest);
    std::string time, thread, word;
    if (!(words >> t.id >> time >> thread >> t.call)) {
        why = "line " + std::to_string(number) + ": not a trace line";
        return std::nullopt;
    }
    while (words >> word) {
        const std::size_t eq = word.find('=');
        if (eq == std::string::npos) {
            why = "line " + std::to_string(number) + ": \"" + word + "\" is no key=value";
            return std::nullopt;
        }
        t.fields[word.substr(0, eq)] = word.substr(eq + 1);
    }
    return t;
}

std::optional<std::vector<std::uint8_t>> Bytes(const std::string& hex) {
    if (hex == "-" || hex.empty()) return std::vector<std::uint8_t>{};
    return ParseHexBytes(hex);
}

std::uint32_t Number(const std::map<std::string, std::string>& f, const char* key) {
    const auto it = f.find(key);
    return it == f.end() ? 0 : static_cast<std::uint32_t>(std::strtoul(it->second.c_str(), nullptr, 0));
}

std::string Field(const std::map<std::string, std::string>& f, const char* key) {
    const auto it = f.find(key);
    return it == f.end() ? std::string() : it->second;
}

// The outcome fields of a line (its own, or its completion's).
bool TakeOutcome(const TraceLine& t, ReplayAnswer& a, std::string& why) {
    a.error = Number(t.fields, "error");
    a.information = Number(t.fields, "bytes");
    const auto out = Bytes(Field(t.fields, "out")), window = Bytes(Field(t.fields, "window"));
    if (!out || !window) {
        why = "line " + std::to_string(t.line) + ": out or window is no hexadecimal";
        return false;
    }
    a.output = *out;
    if (t.call == "GetOverlappedResult" || Field(t.fields, "result") == "ok") a.window = *window;
    a.never = a.error == kErrorOperationAborted;
    return true;
}

std::string Hex(const std::vector<std::uint8_t>& bytes, std::size_t most = 8) {
    std::string out;
    char cell[4];
    for (std::size_t i = 0; i < bytes.size() && i < most; ++i) {
        std::snprintf(cell, sizeof cell, i ? " %02x" : "%02x", bytes[i]);
        out += cell;
    }
    return bytes.size() > most ? out + " ..." : out;
}

// The parts of a request that must be the same, as one comparable text.
std::string Essence(const ReplayRequest& r, const std::set<std::string>& lenient) {
    std::string e = DescribeRequest(r);
    if (r.target == Target::Pipe00 || r.target == Target::Pipe02)
        return lenient.count("length") ? TargetName(r.target) : e;
    if (r.write && lenient.count("data")) return TargetName(r.target);
    if (r.write) e += " [" + Hex(r.input, r.input.size()) + "]";
    return e;
}

}  // namespace

std::string DescribeRequest(const ReplayRequest& r) {
    char text[160];
    switch (r.target) {
        case Target::Transfer: {
            const auto block = ParseControlBlock(r.input);
            const auto command = ParseTransferCommand(r.window);
            if (!block || !command) return "transfer request (unreadable record)";
            std::snprintf(text, sizeof text, "transfer request (%s, %u bytes at 0x%02x)",
                          command->command == 1 ? "EEPROM to host" : "host to EEPROM", command->size,
                          static_cast<unsigned>(block->offset));
            return text;
        }
        case Target::Type:
            return "board type request";
        case Target::Reset:
            std::snprintf(text, sizeof text, "PIPE0%d reset", r.pipe);
            return text;
        default:
            std::snprintf(text, sizeof text, "%s %s of %u bytes", TargetName(r.target),
                          r.write ? "write" : "read",
                          r.write ? static_cast<unsigned>(r.input.size()) : r.outLength);
            return text;
    }
}

BoardOptions ReplayingBoard(std::shared_ptr<Replay> replay) {
    BoardOptions options;
    options.devicePath = replay->DevicePath();
    options.type = replay->Type().value_or(0x21);
    options.replay = std::move(replay);
    return options;
}

int Replay::QueueOf(const ReplayRequest& r) {
    return r.target == Target::Reset && r.pipe >= 0 && r.pipe < 4 ? kTargetCount + r.pipe
                                                                  : static_cast<int>(r.target);
}

std::shared_ptr<Replay> Replay::Load(const std::string& path, ReplayOptions options, std::string& why) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        why = "cannot read " + path;
        return nullptr;
    }
    std::ostringstream text;
    text << in.rdbuf();
    auto replay = Parse(text.str(), std::move(options), why);
    if (!replay) why = path + ": " + why;
    return replay;
}

std::shared_ptr<Replay> Replay::Parse(const std::string& text, ReplayOptions options, std::string& why) {
    auto replay = std::shared_ptr<Replay>(new Replay);
    replay->options_ = std::move(options);
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    bool header = false;
    std::map<std::string, std::pair<int, std::size_t>> requests;  // id -> queue, index
    while (std::getline(lines, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        if (!header) {
            if (line.rfind("board-trace ", 0) != 0) {
                why = "not a board trace (its first line is not \"board-trace 1\")";
                return nullptr;
            }
            if (line != "board-trace 1") {
                why = "\"" + line + "\": a newer trace than this vboard reads (board-trace 1)";
                return nullptr;
            }
            header = true;
            continue;
        }
        const auto t = Split(line, number, why);
        if (!t) return nullptr;
        const std::string handle = Field(t->fields, "handle");
        const std::string name = handle.substr(handle.find(':') + 1);
        if (t->call == "SetupDiGetDeviceInterfaceDetail" && replay->devicePath_.empty())
            replay->devicePath_ = Field(t->fields, "path");
        if (t->call == "GetOverlappedResult") {
            const auto it = requests.find(Field(t->fields, "for"));
            if (it == requests.end()) continue;  // a request the trace does not hold
            Expected& e = replay->queues_[it->second.first][it->second.second];
            if (!TakeOutcome(*t, e.answer, why)) return nullptr;
            e.answer.delayMs = static_cast<int>(std::strtod(Field(t->fields, "pending_ms").c_str(), nullptr));
            if (e.request.target == Target::Type && e.answer.error == 0 && !e.answer.output.empty())
                replay->type_ = e.answer.output[0];
            continue;
        }
        const bool read = t->call == "ReadFile", write = t->call == "WriteFile",
                   ioctl = t->call == "DeviceIoControl";
        if (!read && !write && !ioctl) continue;
        Expected e;
        e.line = number;
        ReplayRequest& r = e.request;
        r.write = write;
        r.code = Number(t->fields, "code");
        r.outLength = Number(t->fields, "len");
        const auto in = Bytes(Field(t->fields, "in")), window = Bytes(Field(t->fields, "window"));
        if (!in || !window) {
            why = "line " + std::to_string(number) + ": in or window is no hexadecimal";
            return nullptr;
        }
        r.input = *in;
        r.window = *window;
        if (name.rfind("PIPE0", 0) == 0 && name.size() == 6 && name[5] >= '0' && name[5] <= '3') {
            const int pipe = name[5] - '0';
            r.target = ioctl ? Target::Reset : static_cast<Target>(pipe);
            r.pipe = pipe;
        } else if (name == "device" && ioctl) {
            r.target = r.code == kIoctlTransfer ? Target::Transfer : Target::Type;
        } else {
            why = "line " + std::to_string(number) + ": a " + t->call + " on \"" + handle + "\"";
            return nullptr;
        }
        const std::string result = Field(t->fields, "result");
        if (result == "pending") {
            e.answer.never = true;  // until its completion says otherwise
        } else {
            if (!TakeOutcome(*t, e.answer, why)) return nullptr;
            e.answer.atOnce = true;
            if (r.target == Target::Type && e.answer.error == 0 && !e.answer.output.empty())
                replay->type_ = e.answer.output[0];
        }
        if (r.target == Target::Pipe00 && replay->options_.lenient.count("clock")) e.answer.liveClock = true;
        const int queue = QueueOf(r);
        requests[t->id] = {queue, replay->queues_[queue].size()};
        replay->queues_[queue].push_back(std::move(e));
    }
    if (!header) {
        why = "empty: not a board trace";
        return nullptr;
    }
    for (auto& queue : replay->queues_)
        for (Expected& e : queue) {
            if (e.answer.error == kErrorIoPending) e.answer.never = true;
            if (replay->options_.lenient.count("timing"))
                e.answer.delayMs = 0;
            else
                e.answer.delayMs = static_cast<int>(e.answer.delayMs / replay->options_.speed);
        }
    return replay;
}

bool Replay::Next(const ReplayRequest& request, ReplayAnswer& answer, std::string& difference) {
    std::lock_guard hold(lock_);
    const int queue = QueueOf(request);
    std::vector<Expected>& expected = queues_[queue];
    std::size_t& next = next_[queue];
    if (next >= expected.size()) {
        // Status reads beyond the recording wait, as on a board whose keys nobody touches.
        if (request.target == Target::Pipe00) {
            answer = ReplayAnswer{};
            answer.never = true;
            return true;
        }
        difference = (expected.empty() ? std::string("nothing was recorded there")
                                       : "after trace line " + std::to_string(expected.back().line) +
                                             ": nothing more was recorded there") +
                     ", got " + DescribeRequest(request);
        differences_.push_back(difference);
        return false;
    }
    const Expected& e = expected[next];
    if (Essence(e.request, options_.lenient) != Essence(request, options_.lenient)) {
        difference = "trace line " + std::to_string(e.line) + ": expected " + Essence(e.request, {}) +
                     ", got " + Essence(request, {});
        differences_.push_back(difference);
        return false;
    }
    ++next;
    answer = e.answer;
    return true;
}

void Replay::HandleOpened() {
    std::lock_guard hold(lock_);
    ++openHandles_;
    started_ = true;
}

void Replay::HandleClosed() {
    std::lock_guard hold(lock_);
    if (openHandles_ > 0) --openHandles_;
}

int Replay::OpenHandles() const {
    std::lock_guard hold(lock_);
    return openHandles_;
}

bool Replay::Started() const {
    std::lock_guard hold(lock_);
    return started_;
}

bool Replay::AllCame() const { return FirstMissing().empty(); }

std::string Replay::FirstMissing() const {
    std::lock_guard hold(lock_);
    const Expected* first = nullptr;
    for (int q = 0; q < kQueues; ++q) {
        if (q == static_cast<int>(Target::Pipe00) || next_[q] >= queues_[q].size()) continue;
        const Expected& e = queues_[q][next_[q]];
        if (first == nullptr || e.line < first->line) first = &e;
    }
    return first == nullptr
               ? std::string()
               : "trace line " + std::to_string(first->line) + ": " + DescribeRequest(first->request);
}

std::vector<std::string> Replay::Differences() const {
    std::lock_guard hold(lock_);
    return differences_;
}

void Replay::Restart() {
    std::lock_guard hold(lock_);
    for (auto& n : next_) n = 0;
    started_ = false;
}

}  // namespace vboard
