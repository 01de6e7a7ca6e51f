#include <cstdlib>
#include <cwchar>

#include "trace_file.h"

namespace board_trace {

std::FILE* OpenTraceFile() {
    // By its UTF-16 name, so that any name works whatever the code page.
    const wchar_t* name = _wgetenv(L"BOARD_TRACE");
    if (name == nullptr || *name == L'\0') return nullptr;
    return _wfopen(name, L"wb");
}

}  // namespace board_trace
