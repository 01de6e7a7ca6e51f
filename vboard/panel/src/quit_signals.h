// Ends a panel when the process is asked to end (SIGINT, SIGTERM on POSIX hosts).
#pragma once

#include <QObject>

class QWidget;

namespace vboard::panel {

// Closes `window` (as its close button would) when a termination request arrives. The requests
// must already be blocked in every thread, as the `vboard` program does before its threads start.
// Returns an object, owned by `window`, that stops listening when destroyed; nullptr when the
// host offers no way to listen.
QObject* CloseOnTerminationRequest(QWidget* window);

}  // namespace vboard::panel
