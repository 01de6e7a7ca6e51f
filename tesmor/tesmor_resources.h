// Resource and control numbers of Tesmor's windows. The resources themselves (dialogs 100
// and 102, icon 128, bitmaps 129 and 130) are registered by tesmor_resources.cpp.
#pragma once

constexpr int IDB_IDLE_LAMP = 129;    // green ball: the lamp is off
constexpr int IDB_ACTIVE_LAMP = 130;  // red ball: the key the board reports

constexpr int IDC_VALUE = 1000;   // the value for the display, hexadecimal
constexpr int IDC_MODIFY = 1001;  // sends the value
constexpr int IDC_LAMP1 = 1002;   // lamps 1 to 8 are 1002 to 1009
constexpr int IDC_CLOCK = 1010;   // the board's clock
