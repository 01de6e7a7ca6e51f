// The board path against its floor: what the tools' workers do (through the stand-in to a
// virtual board over the bus), and the same frames over a socket pair between two processes.
// Each job's figure and its floor come from the same run; scripts/bench.sh prints the ratios.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "board_link.h"
#include "floor.h"
#include "vboard/board.h"
#include "winapi_standin.h"

namespace {

constexpr DWORD kLimitMs = 1000;

// One board for the whole run, on a bus of its own.
struct Rig {
    std::string dir;
    std::unique_ptr<vboard::Board> board;

    explicit Rig(bool syncWrites = false) {
        char pattern[] = "/tmp/board-bench-XXXXXX";
        if (!::mkdtemp(pattern)) throw std::runtime_error("mkdtemp");
        dir = pattern;
        board = std::make_unique<vboard::Board>(vboard::BoardOptions{
            .busDir = dir, .eepromFile = dir + "/board.eeprom", .clockRunning = false, .syncWrites = syncWrites});
        std::string why;
        if (!board->Start(&why)) throw std::runtime_error(why);
        Use();
    }
    // Points the stand-in at this rig's board.
    void Use() const {
        standin::SetBusDirectory(dir);
        if (FindBoard() != 0) throw std::runtime_error("the stand-in does not find the board");
    }
    ~Rig() {
        board.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

Rig& TheRig() {
    static Rig rig;
    return rig;
}

// ---- The jobs, as the tools' workers do them.

void Job(BYTE direction, const char* pipeName, int length) {
    thread_local std::array<BYTE, 256> data{};
    HANDLE device = OpenBoardDevice();
    HANDLE pipe = OpenBoardPipe(pipeName);
    if (device == INVALID_HANDLE_VALUE || pipe == INVALID_HANDLE_VALUE) throw std::runtime_error("open");
    if (SendTransferRequest(device, direction, 0, static_cast<DWORD>(length)) != 0)
        throw std::runtime_error("transfer request");
    const int moved = direction == 1 ? ReadPipeTimed(pipe, data.data(), length, kLimitMs)
                                     : WritePipeTimed(pipe, data.data(), length, kLimitMs);
    if (moved != length) throw std::runtime_error("transfer");
    CloseBoardHandle(pipe);
    CloseBoardHandle(device);
}

void BM_ReadJob(benchmark::State& state) {
    TheRig();
    for (auto _ : state) Job(1, "PIPE02", static_cast<int>(state.range(0)));
}

void BM_WriteJob(benchmark::State& state) {
    TheRig();
    for (auto _ : state) Job(0, "PIPE03", static_cast<int>(state.range(0)));
}

// A board run as `vboard run --sync` does (every write flushed to disk): Varnel's 64-byte read
// while another client writes in a loop, against the same read with no writer (its floor). The
// board saves on a thread of its own, so the reader does not wait for the writer's disk.
Rig& SyncRig() {
    static Rig rig(true);
    return rig;
}

void ReadBesideAWriter(benchmark::State& state, bool writer) {
    SyncRig().Use();
    std::atomic<bool> writing{writer};
    std::thread client;
    if (writer)
        client = std::thread([&] {
            while (writing) Job(0, "PIPE03", 64);
        });
    for (auto _ : state) Job(1, "PIPE02", 64);
    writing = false;
    if (client.joinable()) client.join();
    TheRig().Use();
}

void BM_SyncBoardReadBesideAWriter(benchmark::State& state) { ReadBesideAWriter(state, true); }
void BM_Floor_SyncBoardReadBesideAWriter(benchmark::State& state) { ReadBesideAWriter(state, false); }

void BM_PipeOpenClose(benchmark::State& state) {
    TheRig();
    for (auto _ : state) {
        HANDLE pipe = OpenBoardPipe("PIPE02");
        if (pipe == INVALID_HANDLE_VALUE) throw std::runtime_error("open");
        CloseBoardHandle(pipe);
    }
}

// From a key going down on the board to the poller's waiting read completing with the report.
void BM_KeyToPoller(benchmark::State& state) {
    Rig& rig = TheRig();
    HANDLE pipe = OpenBoardPipe("PIPE00");
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    BYTE report[4];
    int key = 0;
    rig.board->SetKey(0, false);
    {
        // A report may be due already (a change since the last read): take it first, so that
        // each read below waits for the key change it times.
        OVERLAPPED o{};
        o.hEvent = event;
        DWORD got = 0;
        if (!ReadFile(pipe, report, 4, &got, &o) && GetLastError() == ERROR_IO_PENDING) {
            if (WaitForSingleObject(event, 100) != WAIT_OBJECT_0) CancelIo(pipe);
            GetOverlappedResult(pipe, &o, &got, TRUE);
        }
    }
    for (auto _ : state) {
        OVERLAPPED o{};
        o.hEvent = event;
        ResetEvent(event);
        DWORD got = 0;
        if (ReadFile(pipe, report, 4, &got, &o) || GetLastError() != ERROR_IO_PENDING)
            throw std::runtime_error("the report read did not wait");
        if (WaitForSingleObject(event, 0) == WAIT_OBJECT_0)
            throw std::runtime_error("the report read was answered before the key changed");
        const auto start = std::chrono::steady_clock::now();
        rig.board->SetKey(0, (++key & 1) != 0);
        if (WaitForSingleObject(event, kLimitMs) != WAIT_OBJECT_0) throw std::runtime_error("no report");
        const auto end = std::chrono::steady_clock::now();
        GetOverlappedResult(pipe, &o, &got, TRUE);
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    CloseHandle(event);
    CloseBoardHandle(pipe);
}

// Tesmor's poller on a board that reports every millisecond: reports per second.
void BM_PollerAt1ms(benchmark::State& state) {
    Rig& rig = TheRig();
    rig.board->SetReportInterval(1);
    BYTE report[4];
    for (auto _ : state) {
        Sleep(1);
        HANDLE pipe = OpenBoardPipe("PIPE00");
        if (ReadPipeTimed(pipe, report, 4, kLimitMs) != 4) throw std::runtime_error("report");
        CloseBoardHandle(pipe);
    }
    rig.board->SetReportInterval(0);
    state.counters["reports/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Floor_Sleep1ms(benchmark::State& state) {
    for (auto _ : state) Sleep(1);
    state.counters["reports/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// ---- The floors: the same frames, sizes and order.

vbus::Bytes Frames(std::initializer_list<vbus::Message> messages) {
    vbus::Bytes out;
    for (const auto& m : messages) {
        vbus::Bytes frame = vbus::Encode(m);
        out.insert(out.end(), frame.begin(), frame.end());
    }
    return out;
}

bench::Exchange OpenExchange(const std::string& path) {
    const std::string device = TheRig().board->DevicePath();
    return {Frames({vbus::Hello{vbus::kProtocolVersion, vbus::Purpose::Open, path}}),
            {},
            Frames({vbus::Welcome{vbus::kProtocolVersion, 0, true, {}, device}})};
}

std::vector<bench::Exchange> JobScript(bool read, int length) {
    const std::string device = TheRig().board->DevicePath();
    const vbus::Bytes block(sizeof(ControlBlock)), command(sizeof(TransferCommand));
    const vbus::Bytes data(static_cast<std::size_t>(length));
    std::vector<bench::Exchange> script{OpenExchange(device),
                                        OpenExchange(device + (read ? "\\PIPE02" : "\\PIPE03"))};
    script.push_back({Frames({vbus::Submit{1, vbus::Op::Ioctl, IOCTL_BOARD_TRANSFER, 0, block, command}}),
                      {},
                      Frames({vbus::Done{1, 0, 0, {}, command}})});
    if (read)
        script.push_back(
            {Frames({vbus::Submit{1, vbus::Op::Read, 0, static_cast<std::uint32_t>(length), {}, {}}}),
             {},
             Frames({vbus::Done{1, 0, static_cast<std::uint32_t>(length), data, {}}})});
    else
        script.push_back({Frames({vbus::Submit{1, vbus::Op::Write, 0, 0, data, {}}}),
                          {},
                          Frames({vbus::Done{1, 0, static_cast<std::uint32_t>(length), {}, {}}})});
    return script;
}

void BM_Floor_ReadJob(benchmark::State& state) {
    bench::FloorPeer peer(JobScript(true, static_cast<int>(state.range(0))));
    for (auto _ : state) peer.RunScript();
}

void BM_Floor_WriteJob(benchmark::State& state) {
    bench::FloorPeer peer(JobScript(false, static_cast<int>(state.range(0))));
    for (auto _ : state) peer.RunScript();
}

void BM_Floor_PipeOpenClose(benchmark::State& state) {
    bench::FloorPeer peer({OpenExchange(TheRig().board->DevicePath() + "\\PIPE02")});
    for (auto _ : state) peer.RunScript();
}

void BM_Floor_KeyToPoller(benchmark::State& state) {
    bench::FloorPeer peer(
        {{Frames({vbus::Submit{1, vbus::Op::Read, 0, 4, {}, {}}}), Frames({vbus::Accepted{1}}),
          Frames({vbus::Done{1, 0, 4, vbus::Bytes(4), {}}}), true}});
    for (auto _ : state) {
        peer.SendRequest(0);
        const auto start = std::chrono::steady_clock::now();
        peer.TriggerAndReceive(0);
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
}

}  // namespace

// Real time throughout: most of a job's time is spent waiting, not on this thread's CPU.
BENCHMARK(BM_Floor_ReadJob)->Arg(64)->Arg(256)->UseRealTime();
BENCHMARK(BM_ReadJob)->Arg(64)->Arg(256)->UseRealTime();
BENCHMARK(BM_Floor_WriteJob)->Arg(64)->Arg(256)->UseRealTime();
BENCHMARK(BM_WriteJob)->Arg(64)->Arg(256)->UseRealTime();
BENCHMARK(BM_Floor_PipeOpenClose)->UseRealTime();
BENCHMARK(BM_PipeOpenClose)->UseRealTime();
BENCHMARK(BM_Floor_KeyToPoller)->UseManualTime();
BENCHMARK(BM_KeyToPoller)->UseManualTime();
BENCHMARK(BM_Floor_Sleep1ms)->UseRealTime();
BENCHMARK(BM_PollerAt1ms)->UseRealTime();
BENCHMARK(BM_Floor_SyncBoardReadBesideAWriter)->UseRealTime();
BENCHMARK(BM_SyncBoardReadBesideAWriter)->UseRealTime();

BENCHMARK_MAIN();
