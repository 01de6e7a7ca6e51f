// A scripted board for tests: it greets like a board and then hands every request and
// cancellation to the test, which decides what the board answers and when. Lets the tests
// drive orderings and misbehaviour that a well-behaved board never shows.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "vbus/protocol.h"
#include "vbus/stream.h"

namespace winapi_test {

using namespace std::chrono_literals;

// A private bus directory that the stand-in uses while the object lives.
class TempBus {
  public:
    TempBus();
    ~TempBus();
    const std::string& dir() const { return dir_; }

  private:
    std::string dir_;
};

// The board GUID in its wire form.
vbus::Guid BoardGuid();

class FakeBoard {
  public:
    struct Options {
        Options(std::string busDirectory, int boardSlot) : bus(std::move(busDirectory)), slot(boardSlot) {}
        std::string bus;
        int slot = 0;
        std::string devicePath;
        vbus::Guid guid = BoardGuid();
        bool present = true;
        bool silent = false;  // never answers HELLO, as a board that hangs
        // The open error for a path; by default 0 for the device path and its pipes, else 2.
        std::function<std::uint32_t(const std::string&)> openError;
    };

    // What a connection sent after its greeting.
    struct Incoming {
        int connection = 0;
        std::variant<vbus::Submit, vbus::Cancel> message;
    };

    explicit FakeBoard(Options options);
    ~FakeBoard();

    const std::string& devicePath() const { return options_.devicePath; }

    // The next request or cancellation, in arrival order; nothing after a generous wait.
    std::optional<Incoming> Next(std::chrono::milliseconds wait = 20s);
    // Like Next, for a SUBMIT; fails the test on anything else.
    std::optional<std::pair<int, vbus::Submit>> NextSubmit(std::chrono::milliseconds wait = 20s);

    void Send(int connection, const vbus::Message& message);
    void SendRaw(int connection, const vbus::Bytes& bytes);
    // Ends one connection, as a board that goes away does.
    void Drop(int connection);
    // Connections that have been opened (open purpose) and not dropped by either side.
    int OpenConnections();
    // Waits until a connection has ended from the client's side; false after a generous wait.
    bool WaitForClientClose(int connection, std::chrono::milliseconds wait = 20s);

  private:
    void AcceptLoop();
    void Serve(int id, vbus::Stream* stream);

    Options options_;
    std::unique_ptr<vbus::Listener> listener_;
    std::thread acceptor_;

    std::mutex lock_;
    std::condition_variable changed_;
    std::map<int, std::unique_ptr<vbus::Stream>> streams_;
    std::map<int, bool> open_;  // connection -> still open
    std::vector<std::thread> servers_;
    std::deque<Incoming> incoming_;
    int nextConnection_ = 1;
    std::mutex sendLock_;
};

}  // namespace winapi_test
