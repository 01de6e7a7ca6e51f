// Poll and Waker on Windows: select() over up to 1024 sockets, and a UDP socket on loopback that
// sends to itself.
#define FD_SETSIZE 1024
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>

#include "vbus/poll.h"

namespace vbus {

bool Poll(std::vector<PollItem>& items, int timeoutMs) {
    fd_set reads, writes, errors;
    FD_ZERO(&reads);
    FD_ZERO(&writes);
    FD_ZERO(&errors);
    for (const auto& item : items) {
        const SOCKET s = static_cast<SOCKET>(item.socket);
        if (item.wantRead) FD_SET(s, &reads);
        if (item.wantWrite) FD_SET(s, &writes);
        FD_SET(s, &errors);
    }
    timeval limit{timeoutMs / 1000, timeoutMs % 1000 * 1000};
    const int ready = ::select(0, &reads, &writes, &errors, timeoutMs < 0 ? nullptr : &limit);
    if (ready == SOCKET_ERROR) return false;
    for (auto& item : items) {
        const SOCKET s = static_cast<SOCKET>(item.socket);
        const bool error = FD_ISSET(s, &errors) != 0;
        item.readable = item.wantRead && (FD_ISSET(s, &reads) || error);
        item.writable = item.wantWrite && (FD_ISSET(s, &writes) || error);
    }
    return true;
}

Waker::Waker() {
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) return;
    const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) return;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof addr;
    u_long nonBlocking = 1;
    if (::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &size) != 0 ||
        ::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        ::closesocket(s);
        return;
    }
    read_ = write_ = static_cast<NativeSocket>(s);
}

Waker::~Waker() {
    if (read_ != -1) ::closesocket(static_cast<SOCKET>(read_));
}

bool Waker::Valid() const { return read_ != -1; }
NativeSocket Waker::Socket() const { return read_; }

void Waker::Wake() {
    const char byte = 1;
    ::send(static_cast<SOCKET>(write_), &byte, 1, 0);
}

void Waker::Drain() {
    char bytes[64];
    while (::recv(static_cast<SOCKET>(read_), bytes, sizeof bytes, 0) > 0) {
    }
}

}  // namespace vbus
