// Moving EEPROM bytes in jobs of at most 64 bytes, each one as Varnel's transfer worker runs
// it: open the device, open the data pipe, send the transfer request, move the bytes within
// 1000 ms, close the pipe and the device.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "exit_codes.h"
#include "image.h"
#include "stop_signal.h"

constexpr int kJobBytes = 64;
constexpr unsigned kEepromTimeoutMs = 1000;

// `length` bytes from `start`. Throws CommandError at the first job that fails, naming the
// address and how much had been read; nothing read is returned then.
std::vector<std::uint8_t> ReadEeprom(int start, int length, StopSignal& stop);

// Addresses of the EEPROM: `length` bytes from `start`.
struct AddressRange {
    int start = 0;
    int length = 0;
};

// What a write left on the board when it stopped early: the jobs the board acknowledged, the
// ones never begun (or refused before any byte moved), and the one in flight, whose bytes may
// or may not have reached the EEPROM.
struct WriteState {
    std::vector<AddressRange> written;
    std::vector<AddressRange> notWritten;
    std::optional<AddressRange> unknown;
};

// A write that stopped early: the failure (or the interrupt) and the state it left.
class WriteFailure : public CommandError {
  public:
    WriteFailure(ExitCode code, const std::string& message, WriteState state)
        : CommandError(code, message), state_(std::move(state)) {}
    const WriteState& State() const { return state_; }

  private:
    WriteState state_;
};

// The image's runs to the EEPROM, in address order. Throws WriteFailure at the first job that
// fails, and at an interrupt.
void WriteEeprom(const Image& image, StopSignal& stop);
