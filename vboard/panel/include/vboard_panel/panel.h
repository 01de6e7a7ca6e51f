// The virtual board's front panel: a window that shows a running board as it changes and steers it
// (keys, clock, plug, type byte, faults), with its EEPROM, display and traffic log.
#pragma once

#include <QWidget>
#include <memory>

#include "vboard/board.h"

namespace vboard::panel {

// A panel window for `board`, which must outlive it. Closing the window unplugs the board.
std::unique_ptr<QWidget> CreatePanelWindow(Board& board);

// Shows a panel for the running board and serves it until the window is closed or the process is
// asked to end (SIGINT, SIGTERM, blocked beforehand as the `vboard` program does). Makes the
// Qt application object; call on the process's main thread. Returns the event loop's exit code.
int RunPanel(Board& board);

}  // namespace vboard::panel
