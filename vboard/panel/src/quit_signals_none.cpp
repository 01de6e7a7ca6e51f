#include "quit_signals.h"

namespace vboard::panel {

// No termination requests to listen for: the panel ends when it is closed.
QObject* CloseOnTerminationRequest(QWidget*) { return nullptr; }

}  // namespace vboard::panel
