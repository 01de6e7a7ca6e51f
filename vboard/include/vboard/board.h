// A virtual board attached to the board bus (docs/PROTOCOL.md): the board and its driver in one
// object. Programs and tests start one, steer it, and destroy it to detach it.
//
//   vboard::Board board({.busDir = dir, .eepromFile = dir + "/e.bin"});
//   std::string why;
//   if (!board.Start(&why)) ...
//   board.SetKey(3, true);
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "vboard/observer.h"
#include "vboard/types.h"

namespace vboard {

class Replay;

struct BoardOptions {
    std::string busDir;        // empty: vbus::DefaultBusDirectory()
    int slot = -1;             // -1: the lowest free slot
    std::string devicePath;    // empty: \\?\vboard#board&N#VB00000N#{guid}
    std::string eepromFile;    // empty: $XDG_DATA_HOME/vboard/board-N.eeprom (or ~/.local/share/...)
    std::uint8_t type = 0x21;  // board-type byte
    bool plugged = true;
    int reportIntervalMs = 0;        // > 0: a status report at this rate as well
    bool clockRunning = true;        // false: the clock stands until set running
    std::optional<ClockTime> clock;  // empty: the host's local time
    // Receives the board's diagnostics (one line each, no newline); empty: standard error. It may be
    // called with the board's lock held: it must not call back into the Board.
    std::function<void(const std::string&)> diagnostics;
    int logCapacity = 1024;  // traffic log entries kept
    // An EEPROM write is acknowledged once its file is replaced, so it survives a killed board
    // process. With syncWrites the file is flushed to disk first, so it survives a power cut too
    // (at the cost of milliseconds per write).
    bool syncWrites = false;
    // Called once, on the board's own thread, when the board ends by itself: its event loop
    // cannot wait for its connections any more (a poll that keeps failing). It serves nothing
    // more then; `why` says what failed. It must not call back into the Board.
    std::function<void(const std::string& why)> onFailure;
    // A recorded session to play (vboard/replay.h): every request is answered from it, nothing
    // from the board's own model, and the EEPROM file is never written.
    std::shared_ptr<Replay> replay;
    // Where to write the session as the board sees it (docs/TRACE.md); empty: nowhere.
    std::string recordFile;
};

struct CommandResult {
    bool ok = false;
    std::string text;
};

class BoardCore;

class Board {
  public:
    explicit Board(BoardOptions options = {});
    ~Board();  // detaches: Stop()
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;

    // Loads the EEPROM, claims the slot and attaches to the bus. False, with the reason, when the
    // bus directory, the slot or the EEPROM file cannot be had (a file of the wrong size is refused
    // and left alone). A board starts once.
    bool Start(std::string* why = nullptr);
    // Detaches: closes every connection, removes the socket and state files, and returns once the
    // observers have been told every change made so far. Idempotent.
    void Stop();
    // The board ended by itself (BoardOptions::onFailure was called).
    bool Failed() const;

    // Valid after Start.
    int Slot() const;
    std::string DevicePath() const;
    std::string BusDirectory() const;
    std::string EepromFile() const;

    // Keys 0..7.
    void SetKey(int key, bool down);
    void PressKey(int key, int holdMs = 100);  // down now, up after holdMs
    std::uint8_t HeldKeys() const;             // bit i = key i held

    void SetClock(const ClockTime& time);
    void SetClockRunning(bool running);
    ClockTime Clock() const;

    void SetType(std::uint8_t type);
    std::uint8_t Type() const;

    // Unplug completes everything pending with 1167 and kills every open handle.
    void Unplug();
    void Plug();
    bool Plugged() const;

    void SetReportInterval(int ms);  // 0: off
    // Status reports carry these bytes as they are (1 to 4 of them: a short report, a key byte
    // that is no key, a clock that is no BCD) instead of the board's keys and clock, from the
    // next report on; nullopt: the board's own again. A report is due at once.
    void SetRawReport(std::optional<std::vector<std::uint8_t>> bytes);

    void SetFault(Target target, const Fault& fault);
    void SetPipeOpenError(int pipe, std::uint32_t error);  // pipe 0..3; 0 = opens
    void SetDeviceOpenError(std::uint32_t error);
    void SetCancelDelay(std::uint32_t ms);
    // FaultSet::keepPendingOnUnplug.
    void SetKeepPendingOnUnplug(bool keep);
    void ClearFaults();
    FaultSet Faults() const;

    Eeprom EepromContents() const;
    // Writes and persists; false (nothing changed) when out of range or the file cannot be replaced.
    bool WriteEeprom(int offset, const std::vector<std::uint8_t>& bytes, std::string* why = nullptr);

    Digits Display() const;

    // The newest `count` entries, oldest first.
    std::vector<LogEntry> TrafficLog(std::size_t count = SIZE_MAX) const;

    BoardStatus Status() const;

    // One control command, as `vboard CMD ...` sends it (see `vboard --help`).
    CommandResult Execute(const std::string& command);

    // The observer must outlive its registration; after RemoveObserver returns it is not called again.
    void AddObserver(BoardObserver* observer);
    void RemoveObserver(BoardObserver* observer);

  private:
    std::unique_ptr<BoardCore> core_;
};

}  // namespace vboard
