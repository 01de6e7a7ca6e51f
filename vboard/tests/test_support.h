// Helpers for talking to a board through raw bus streams, as the Windows-API stand-in would.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "vboard/board.h"
#include "vbus/protocol.h"
#include "vbus/stream.h"

namespace vboard::test {

using namespace std::chrono_literals;

// Generous: the machines are shared; nothing here measures speed.
inline constexpr auto kPatience = 20s;

// A temporary bus directory, removed at the end.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Board options on a test bus, the clock standing still so reports come only when a test asks.
BoardOptions TestOptions(const TempDir& dir, const std::string& eepromName = "board.eeprom");

// Collects a board's diagnostics lines.
class Diagnostics {
  public:
    std::function<void(const std::string&)> Sink();
    std::vector<std::string> Lines() const;
    // Waits until a line containing `text` shows up.
    bool WaitFor(const std::string& text) const;

  private:
    mutable std::mutex mu_;
    mutable std::condition_variable cv_;
    std::vector<std::string> lines_;
};

// One client connection; a reader thread queues what the board sends.
class Client {
  public:
    static std::unique_ptr<Client> Connect(const Board& board);
    // Over the board's loopback TCP endpoint, the published secret sent first.
    static std::unique_ptr<Client> ConnectTcp(const Board& board);
    ~Client();

    void Send(const vbus::Message& message);
    void SendRaw(const vbus::Bytes& bytes);
    // The next message, or nothing when the connection ended or nothing came in kPatience.
    std::optional<vbus::Message> Next();
    // True once the board has closed the connection (waits up to kPatience).
    bool WaitClosed();

    vbus::Welcome Hello(vbus::Purpose purpose, const std::string& path = "", std::uint16_t version = 1);

    // Sends a SUBMIT; returns its DONE and whether an ACCEPTED came first.
    struct Outcome {
        bool accepted = false;
        vbus::Done done;
    };
    Outcome Call(vbus::Submit submit);
    // Sends a SUBMIT that must pend; returns after its ACCEPTED.
    void Start(vbus::Submit submit);
    // Waits for the DONE of `id` (other messages are a test failure).
    vbus::Done WaitDone(std::uint32_t id);
    // A request that completes at once on this handle: once its DONE is back, everything the board
    // had to say about earlier requests has been said.
    void Barrier();

    std::uint32_t NextId() { return ++lastId_; }
    bool isPipe = false;

  private:
    explicit Client(std::unique_ptr<vbus::Stream> stream);
    void ReadLoop();

    std::unique_ptr<vbus::Stream> stream_;
    std::mutex mu_;
    std::condition_variable cv_;
    std::deque<vbus::Message> inbox_;
    bool ended_ = false;
    std::thread reader_;
    std::uint32_t lastId_ = 1000;
};

// Opens a handle (device path, or device path + "\" + pipe) and checks that it opened.
std::unique_ptr<Client> OpenHandle(const Board& board, const std::string& pipe = "");

// SUBMIT builders.
vbus::Submit ReadRequest(std::uint32_t id, std::uint32_t count);
vbus::Submit WriteRequest(std::uint32_t id, vbus::Bytes bytes);
vbus::Submit ResetRequest(std::uint32_t id);
// Transfer request: direction 1 = EEPROM to host. `blockSize` 16 or 24.
vbus::Submit TransferRequest(std::uint32_t id, std::uint8_t direction, std::uint32_t offset,
                             std::uint16_t size, int blockSize = 16);
vbus::Submit TypeRequest(std::uint32_t id, int blockSize = 16);
// A control block with the given fields.
vbus::Bytes ControlBlockBytes(std::uint32_t offset, std::uint32_t length, std::uint32_t request,
                              int blockSize = 16);

// Writes `bytes` at `offset` through a transfer request and PIPE03, and reads them back via PIPE02.
void WriteThroughPipes(const Board& board, std::uint32_t offset, const vbus::Bytes& bytes);
vbus::Bytes ReadThroughPipes(const Board& board, std::uint32_t offset, std::uint16_t size);

}  // namespace vboard::test
