// Poll and Waker on POSIX hosts: poll(2) and a non-blocking pipe.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "vbus/poll.h"

namespace vbus {

bool Poll(std::vector<PollItem>& items, int timeoutMs) {
    std::vector<pollfd> fds(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        fds[i].fd = static_cast<int>(items[i].socket);
        fds[i].events =
            static_cast<short>((items[i].wantRead ? POLLIN : 0) | (items[i].wantWrite ? POLLOUT : 0));
    }
    int ready;
    do {
        ready = ::poll(fds.data(), fds.size(), timeoutMs);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) return false;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const short r = fds[i].revents;
        items[i].readable = items[i].wantRead && (r & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0;
        items[i].writable = items[i].wantWrite && (r & (POLLOUT | POLLHUP | POLLERR | POLLNVAL)) != 0;
    }
    return true;
}

Waker::Waker() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    read_ = fds[0];
    write_ = fds[1];
}

Waker::~Waker() {
    if (read_ >= 0) ::close(static_cast<int>(read_));
    if (write_ >= 0) ::close(static_cast<int>(write_));
}

bool Waker::Valid() const { return read_ >= 0; }
NativeSocket Waker::Socket() const { return read_; }

void Waker::Wake() {
    const char byte = 1;
    // A full pipe is awake already.
    while (::write(static_cast<int>(write_), &byte, 1) < 0 && errno == EINTR) {
    }
}

void Waker::Drain() {
    char bytes[64];
    while (::read(static_cast<int>(read_), bytes, sizeof bytes) > 0) {
    }
}

}  // namespace vbus
