#include "end_report.h"

#include <cstdio>
#include <cstdlib>
#include <thread>

#include "commands.h"
#include "json.h"

namespace {

std::string RangesText(const std::vector<AddressRange>& ranges) {
    std::string text;
    for (const AddressRange& r : ranges)
        text += (text.empty() ? "" : ", ") + HexByte(r.start) + ".." + HexByte(r.start + r.length - 1) +
                " (" + std::to_string(r.length) + " bytes)";
    return text;
}

}  // namespace

std::string WriteStateText(const WriteState& state, const std::string& unknownSaid) {
    std::string text;
    if (!state.written.empty()) text += "  written: " + RangesText(state.written) + "\n";
    if (state.unknown)
        text += "  state unknown from " + HexByte(state.unknown->start) + " (" +
                std::to_string(state.unknown->length) + " bytes)" + unknownSaid + "\n";
    if (!state.notWritten.empty()) text += "  not written: " + RangesText(state.notWritten) + "\n";
    return text;
}

Json RangesJson(const std::vector<AddressRange>& ranges) {
    Json list = Json::array();
    for (const AddressRange& r : ranges) list.push_back({{"start", r.start}, {"length", r.length}});
    return list;
}

Json WriteStateJson(const WriteState& state) {
    std::vector<AddressRange> unknown;
    if (state.unknown) unknown.push_back(*state.unknown);
    return {{"written", RangesJson(state.written)},
            {"not_written", RangesJson(state.notWritten)},
            {"unknown", RangesJson(unknown)}};
}

EndReport& EndReport::Instance() {
    // Reached from the signal and watchdog threads until the process ends: never destroyed.
    static EndReport* const report = new EndReport;
    return *report;
}

void EndReport::Attach(Console& console, bool json, const std::string& command) {
    std::lock_guard hold(lock_);
    console_ = &console;
    json_ = json;
    command_ = command;
}

void EndReport::Detach() {
    std::lock_guard hold(lock_);
    console_ = nullptr;
}

void EndReport::BeginStep(const std::string& what, std::optional<std::chrono::milliseconds> limit) {
    std::lock_guard hold(lock_);
    step_ = what;
    if (limit)
        deadline_ = std::chrono::steady_clock::now() + *limit + kCancelGrace;
    else
        deadline_.reset();
}

void EndReport::EndStep() {
    std::lock_guard hold(lock_);
    step_.clear();
    deadline_.reset();
}

void EndReport::SetWrite(const WriteState& state) {
    std::lock_guard hold(lock_);
    write_ = state;
}

void EndReport::ClearWrite() {
    std::lock_guard hold(lock_);
    write_.reset();
}

std::optional<std::string> EndReport::Overrun() const {
    std::lock_guard hold(lock_);
    if (!deadline_ || std::chrono::steady_clock::now() < *deadline_) return std::nullopt;
    return step_;
}

void EndReport::EndNow(ExitCode code, const std::string& message) {
    std::unique_lock hold(lock_);
    if (ending_) {  // another thread is writing the report: it ends the process
        hold.unlock();
        for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    ending_ = true;
    if (console_) {
        const std::string name = command_.empty() ? "boardctl" : "boardctl " + command_;
        console_->Err(name + ": " + message + "\n" + (write_ ? WriteStateText(*write_) : std::string()));
        if (json_) {
            Json failure = {{"ok", false}, {"error", message}, {"exit", static_cast<int>(code)}};
            if (write_) AddFields(failure, WriteStateJson(*write_));
            console_->OutJson(JsonLine(failure));
        }
    }
    std::fflush(nullptr);
    std::_Exit(code);
}
