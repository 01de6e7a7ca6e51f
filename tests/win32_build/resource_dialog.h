// A dialog the Win32 backend's test program carries twice: registered as a template
// (resource_dialog.cpp) and, written from it by tools/win32res, as its dialog resource.
#pragma once

namespace resource_test {

enum : int {
    kDialog = 901,
    kEdit = 1100,
    kButton = 1101,
    kQuoted = 1102,
};

}  // namespace resource_test
