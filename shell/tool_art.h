// Images both tools carry, drawn by code at compile time: the program icon (resource 128,
// 32 x 32 and 16 x 16, 16 colours). A small circuit board with a chip and an edge connector.
#pragma once

#include <afx_template.h>

// The icon resource 128 of both tools.
extern const afx::IconResource kToolIcon;

// The about box's ownership notice and the main dialogs' footer lines (GBK, ASCII only).
extern const char kOwnershipNotice[];
