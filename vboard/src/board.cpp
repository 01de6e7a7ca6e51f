#include "vboard/board.h"

#include "board_core.h"
#include "commands.h"

namespace vboard {

Board::Board(BoardOptions options)
    : core_(std::make_unique<BoardCore>(
          std::move(options), [this](const std::string& text) { return ExecuteCommand(*this, text); })) {}

Board::~Board() { core_->Stop(); }

bool Board::Start(std::string* why) { return core_->Start(why); }
void Board::Stop() { core_->Stop(); }
int Board::Slot() const { return core_->Slot(); }
std::string Board::DevicePath() const { return core_->DevicePath(); }
std::string Board::BusDirectory() const { return core_->BusDirectory(); }
std::string Board::EepromFile() const { return core_->EepromFile(); }
void Board::SetKey(int key, bool down) { core_->SetKey(key, down); }
void Board::PressKey(int key, int holdMs) { core_->PressKey(key, holdMs); }
std::uint8_t Board::HeldKeys() const { return core_->HeldKeys(); }
void Board::SetClock(const ClockTime& time) { core_->SetClock(time); }
void Board::SetClockRunning(bool running) { core_->SetClockRunning(running); }
ClockTime Board::Clock() const { return core_->Clock(); }
void Board::SetType(std::uint8_t type) { core_->SetType(type); }
std::uint8_t Board::Type() const { return core_->Type(); }
void Board::Unplug() { core_->Unplug(); }
bool Board::Failed() const { return core_->Failed(); }
void Board::Plug() { core_->Plug(); }
bool Board::Plugged() const { return core_->Plugged(); }
void Board::SetReportInterval(int ms) { core_->SetReportInterval(ms); }
void Board::SetRawReport(std::optional<std::vector<std::uint8_t>> bytes) {
    core_->SetRawReport(std::move(bytes));
}
void Board::SetFault(Target target, const Fault& fault) { core_->SetFault(target, fault); }
void Board::SetPipeOpenError(int pipe, std::uint32_t error) { core_->SetPipeOpenError(pipe, error); }
void Board::SetDeviceOpenError(std::uint32_t error) { core_->SetDeviceOpenError(error); }
void Board::SetCancelDelay(std::uint32_t ms) { core_->SetCancelDelay(ms); }
void Board::SetKeepPendingOnUnplug(bool keep) { core_->SetKeepPendingOnUnplug(keep); }
void Board::ClearFaults() { core_->ClearFaults(); }
FaultSet Board::Faults() const { return core_->Faults(); }
Eeprom Board::EepromContents() const { return core_->EepromContents(); }
bool Board::WriteEeprom(int offset, const std::vector<std::uint8_t>& bytes, std::string* why) {
    return core_->WriteEeprom(offset, bytes, why);
}
Digits Board::Display() const { return core_->Display(); }
std::vector<LogEntry> Board::TrafficLog(std::size_t count) const { return core_->TrafficLog(count); }
BoardStatus Board::Status() const { return core_->Status(); }
CommandResult Board::Execute(const std::string& command) { return ExecuteCommand(*this, command); }
void Board::AddObserver(BoardObserver* observer) { core_->AddObserver(observer); }
void Board::RemoveObserver(BoardObserver* observer) { core_->RemoveObserver(observer); }

}  // namespace vboard
