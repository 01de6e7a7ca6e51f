// The virtual board's front panel: a window that shows a running board as it changes and steers it
// (keys, clock, plug, type byte, faults), with its EEPROM, display and traffic log.
#pragma once

#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "vboard/board.h"

namespace vboard::panel {

// A panel window for `board`, which must outlive it. Closing the window unplugs the board.
std::unique_ptr<QWidget> CreatePanelWindow(Board& board);

// Shows a panel for the running board and serves it until the window is closed or the process is
// asked to end (SIGINT, SIGTERM, blocked beforehand as the `vboard` program does). Makes the
// Qt application object; call on the process's main thread. Returns the event loop's exit code.
int RunPanel(Board& board);

// The panel program: the command line as `vboard` takes it (without the program name), a `run`
// served with the front panel. `--message-box` among the run's options (the desktop menu's entry
// gives it: nobody sees standard error there) also shows why in a message box when the board
// cannot start or cannot go on, as well as on standard error. Returns the exit status.
int RunPanelProgram(std::vector<std::string> args);

// The message box of a failed start: caption "Virtual Board", critical icon. Makes the Qt
// application object when there is none.
void ShowStartFailure(const std::string& text);

}  // namespace vboard::panel
