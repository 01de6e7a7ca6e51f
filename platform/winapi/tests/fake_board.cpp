#include "fake_board.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "io_fixture.h"
#include "vbus/bus_dir.h"
#include "winapi_standin.h"

namespace winapi_test {

TempBus::TempBus() {
    std::string pattern = (std::filesystem::temp_directory_path() / "winapi-bus-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "cannot make a bus directory";
    dir_ = pattern;
    standin::SetBusDirectory(dir_);
}

TempBus::~TempBus() {
    standin::SetBusDirectory("");
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

vbus::Guid BoardGuid() {
    return {0x20, 0x93, 0xF4, 0x77, 0xEF, 0x16, 0xD2, 0x11, 0xAD, 0x51, 0x00, 0x60, 0x97, 0xB5, 0x14, 0xDD};
}

FakeBoard::FakeBoard(Options options) : options_(std::move(options)) {
    if (options_.devicePath.empty()) options_.devicePath = "\\\\?\\fake#" + std::to_string(options_.slot);
    if (!options_.openError) {
        const std::string device = options_.devicePath;
        options_.openError = [device](const std::string& path) -> std::uint32_t {
            return path == device || path.rfind(device + "\\", 0) == 0 ? 0 : 2;
        };
    }
    std::string why;
    listener_ = vbus::ListenUnix(vbus::SocketPath(options_.bus, options_.slot), why);
    if (!listener_) {
        ADD_FAILURE() << why;
        return;
    }
    acceptor_ = std::thread([this] { AcceptLoop(); });
}

FakeBoard::~FakeBoard() {
    if (listener_) listener_->Close();
    if (acceptor_.joinable()) acceptor_.join();
    {
        std::lock_guard<std::mutex> hold(lock_);
        for (auto& [id, stream] : streams_) stream->Shutdown();
    }
    for (auto& server : servers_) server.join();
}

void FakeBoard::AcceptLoop() {
    while (auto stream = listener_->Accept()) {
        std::lock_guard<std::mutex> hold(lock_);
        const int id = nextConnection_++;
        vbus::Stream* raw = stream.get();
        streams_.emplace(id, std::move(stream));
        servers_.emplace_back([this, id, raw] { Serve(id, raw); });
    }
}

void FakeBoard::Serve(int id, vbus::Stream* stream) {
    std::string why;
    auto hello = vbus::ReadMessage(*stream, why);
    if (!hello || !std::holds_alternative<vbus::Hello>(*hello)) return;
    if (options_.silent) {
        while (vbus::ReadMessage(*stream, why)) {
        }
        return;
    }
    const auto& greeting = std::get<vbus::Hello>(*hello);
    vbus::Welcome welcome;
    welcome.present = options_.present;
    welcome.interfaceGuid = options_.guid;
    welcome.devicePath = options_.devicePath;
    if (greeting.purpose == vbus::Purpose::Open)
        welcome.error = options_.present ? options_.openError(greeting.path) : 2;
    const bool opened = greeting.purpose == vbus::Purpose::Open && welcome.error == 0;
    if (opened) {
        // Counted before the client hears of it, so a test sees it once CreateFileA returns.
        std::lock_guard<std::mutex> hold(lock_);
        open_[id] = true;
    }
    {
        std::lock_guard<std::mutex> sending(sendLock_);
        vbus::WriteMessage(*stream, welcome);
    }
    if (!opened) return;
    while (auto message = vbus::ReadMessage(*stream, why)) {
        std::lock_guard<std::mutex> hold(lock_);
        if (auto* submit = std::get_if<vbus::Submit>(&*message))
            incoming_.push_back({id, *submit});
        else if (auto* cancel = std::get_if<vbus::Cancel>(&*message))
            incoming_.push_back({id, *cancel});
        changed_.notify_all();
    }
    {
        std::lock_guard<std::mutex> hold(lock_);
        open_[id] = false;
    }
    changed_.notify_all();
}

std::optional<FakeBoard::Incoming> FakeBoard::Next(std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> hold(lock_);
    if (!changed_.wait_for(hold, wait, [this] { return !incoming_.empty(); })) return std::nullopt;
    Incoming next = std::move(incoming_.front());
    incoming_.pop_front();
    return next;
}

std::optional<std::pair<int, vbus::Submit>> FakeBoard::NextSubmit(std::chrono::milliseconds wait) {
    auto next = Next(wait);
    if (!next) {
        ADD_FAILURE() << "no request reached the board";
        return std::nullopt;
    }
    auto* submit = std::get_if<vbus::Submit>(&next->message);
    if (submit == nullptr) {
        ADD_FAILURE() << "the board got a CANCEL where it expected a request";
        return std::nullopt;
    }
    return std::make_pair(next->connection, *submit);
}

void FakeBoard::Send(int connection, const vbus::Message& message) {
    SendRaw(connection, vbus::Encode(message));
}

void FakeBoard::SendRaw(int connection, const vbus::Bytes& bytes) {
    vbus::Stream* stream = nullptr;
    {
        std::lock_guard<std::mutex> hold(lock_);
        auto it = streams_.find(connection);
        if (it != streams_.end()) stream = it->second.get();
    }
    ASSERT_NE(stream, nullptr);
    std::lock_guard<std::mutex> sending(sendLock_);
    stream->SendAll(bytes.data(), bytes.size());
}

void FakeBoard::Drop(int connection) {
    std::lock_guard<std::mutex> hold(lock_);
    auto it = streams_.find(connection);
    if (it != streams_.end()) it->second->Shutdown();
}

int FakeBoard::OpenConnections() {
    std::lock_guard<std::mutex> hold(lock_);
    int count = 0;
    for (auto& [id, open] : open_) count += open ? 1 : 0;
    return count;
}

bool FakeBoard::WaitForClientClose(int connection, std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> hold(lock_);
    return changed_.wait_for(hold, wait, [&] { return open_.count(connection) && !open_[connection]; });
}

std::string InterfacePath(HDEVINFO set, DWORD index) {
    SP_DEVICE_INTERFACE_DATA data;
    std::memset(&data, 0, sizeof data);
    data.cbSize = sizeof data;
    if (!SetupDiEnumDeviceInterfaces(set, nullptr, &kBoardGuid, index, &data)) return "";
    DWORD required = 0;
    if (SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, nullptr) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return "";
    std::vector<std::uint8_t> storage(required);
    auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(storage.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!SetupDiGetDeviceInterfaceDetailA(set, &data, detail, required, nullptr, nullptr)) return "";
    return detail->DevicePath;
}

}  // namespace winapi_test
