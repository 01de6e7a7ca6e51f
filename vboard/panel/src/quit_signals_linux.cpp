#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QWidget>

#include "quit_signals.h"

namespace vboard::panel {
namespace {

// Reads blocked SIGINT/SIGTERM through a signalfd, on the GUI thread's event loop.
class SignalListener : public QObject {
  public:
    SignalListener(int fd, QWidget* window)
        : QObject(window), fd_(fd), notifier_(fd, QSocketNotifier::Read, this) {
        connect(&notifier_, &QSocketNotifier::activated, this, [this, window] {
            signalfd_siginfo info;
            if (read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) window->close();
        });
    }
    ~SignalListener() override { close(fd_); }

  private:
    int fd_;
    QSocketNotifier notifier_;
};

}  // namespace

QObject* CloseOnTerminationRequest(QWidget* window) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    const int fd = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (fd < 0) return nullptr;
    return new SignalListener(fd, window);
}

}  // namespace vboard::panel
