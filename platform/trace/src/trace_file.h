// Where the trace goes: the file BOARD_TRACE names, opened on the first traced call. One line
// at a time, under a lock, flushed at once so that a program that crashes keeps its trace.
#pragma once

#include <cstdio>
#include <string>

namespace board_trace {

// The file is open (BOARD_TRACE named one and it could be made). Decided once per process.
bool Active();
// Writes `line` and a newline.
void WriteLine(const std::string& line);

// Platform part (trace_file_posix.cpp, trace_file_win32.cpp): the file BOARD_TRACE names,
// created or emptied for writing without following a link, or nullptr.
std::FILE* OpenTraceFile();

}  // namespace board_trace
