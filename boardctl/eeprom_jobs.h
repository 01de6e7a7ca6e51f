// Moving EEPROM bytes in jobs of at most 64 bytes, each one as Varnel's transfer worker runs
// it: open the device, open the data pipe, send the transfer request, move the bytes within
// 1000 ms, close the pipe and the device.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image.h"
#include "stop_signal.h"

constexpr int kJobBytes = 64;
constexpr unsigned kEepromTimeoutMs = 1000;

// `length` bytes from `start`. Throws CommandError at the first job that fails, naming the
// address and how much had been read; nothing read is returned then.
std::vector<std::uint8_t> ReadEeprom(int start, int length, StopSignal& stop);

// The run's bytes to the EEPROM. Throws CommandError at the first job that fails, naming the
// address and how much had been written.
void WriteEeprom(const ByteRun& run, StopSignal& stop);
