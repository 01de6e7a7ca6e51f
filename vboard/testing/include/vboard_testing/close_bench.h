// What the tools' close benchmarks share: a board whose pipe and pipe resets stall, one timed
// close per iteration, and the floor they are read against.
#pragma once

#include <benchmark/benchmark.h>
#include <windows.h>

#include <functional>
#include <string>

#include "vboard/board.h"

struct StalledClose {
    // The board (on a bus of its own) and the pipe the worker waits on; the pipe and every pipe
    // reset stall.
    vboard::BoardOptions board;
    vboard::Target stalled = vboard::Target::Pipe00;
    std::string pipe;
    // Starts the worker; it reads on `pipe` until the close. Returns its thread.
    std::function<HANDLE()> startWorker;
    // Ends the worker as the window's close does; returns once it has ended or the bound ran out.
    std::function<void(HANDLE)> close;
};

// One close per iteration, timed from the start of `close` to its end, once the worker's read is
// pending on the board.
void TimeStalledCloses(benchmark::State& state, const StalledClose& rig);

// Registers a tool's close benchmark (`close` calls TimeStalledCloses): one close per
// repetition, so that the median is that of single closes. Then the floor: one request the board
// answers at once (the board-type query on an open device).
void RegisterCloseBenchmarks(const char* name, void (*close)(benchmark::State&));
