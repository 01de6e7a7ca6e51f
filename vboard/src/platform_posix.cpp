// The host seam on POSIX systems: UNIX and loopback TCP sockets, flock and sigwait.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "platform.h"
#include "vbus/bus_dir.h"

namespace vboard {
namespace {

class FlockBusLock final : public BusLock {
  public:
    explicit FlockBusLock(int fd) : fd_(fd) {}
    ~FlockBusLock() override {
        if (fd_ >= 0) {
            ::flock(fd_, LOCK_UN);
            ::close(fd_);
        }
    }

  private:
    int fd_;
};

}  // namespace

std::unique_ptr<BusLock> LockBus(const std::string& busDir) {
    const std::string path = busDir + "/.claim.lock";
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0) {
        while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    // Without the lock file the claim still works, only without protection against a race.
    return std::make_unique<FlockBusLock>(fd);
}

bool SlotAnswers(const std::string& busDir, int slot) {
    return vbus::ConnectUnix(vbus::SocketPath(busDir, slot)) != nullptr;
}

std::unique_ptr<vbus::Listener> ListenOnBus(const std::string& busDir, int slot, std::string& why) {
    return vbus::ListenUnix(vbus::SocketPath(busDir, slot), why);
}

std::unique_ptr<vbus::Listener> ListenOnLoopback(std::uint16_t& port, std::string& why) {
    return vbus::ListenTcpLoopback(port, why);
}

std::unique_ptr<vbus::Stream> ConnectToBoard(const std::string& busDir, int slot) {
    return vbus::ConnectUnix(vbus::SocketPath(busDir, slot));
}

ClockTime LocalTimeOfDay() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!::localtime_r(&now, &local)) return {};
    return ClockTime{local.tm_hour, local.tm_min, local.tm_sec > 59 ? 59 : local.tm_sec};
}

namespace {
sigset_t TerminationSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}
}  // namespace

void PrepareForTerminationSignals() {
    sigset_t set = TerminationSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void EndTerminationWait() { ::kill(::getpid(), SIGTERM); }

int WaitForTerminationSignal() {
    sigset_t set = TerminationSignals();
    int signal = 0;
    while (sigwait(&set, &signal) != 0) {
    }
    return signal;
}

}  // namespace vboard
