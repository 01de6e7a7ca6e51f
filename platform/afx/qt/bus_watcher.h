// Device-change notifications on Linux: the board bus directory.
//
// Boards on the local board bus add and remove their socket and rename a
// state file in one directory on every plug and unplug. Each change of the
// boards that detection can find there (one arriving or leaving, plugged or
// unplugged) becomes one WM_DEVICECHANGE (DBT_DEVNODES_CHANGED) to each open
// dialog, as Windows broadcasts a change of its device tree to the top-level
// windows; the directory's other changes (temporary files, TCP endpoints)
// send nothing.
#pragma once

#include <QString>

namespace afx::qt {

// The bus directory: $VBOARD_BUS, else $XDG_RUNTIME_DIR/vboard-bus, else /tmp/vboard-bus-<uid>.
QString BusDirectory();

// Starts watching (once per application; window thread). Creates the directory if missing.
void StartBusWatcher();

// Delivers WM_DEVICECHANGE to every open dialog (window thread).
void BroadcastDeviceChange();

}  // namespace afx::qt
