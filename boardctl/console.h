// Where boardctl's output goes, and how it learns of Ctrl-C. Text is UTF-8 inside the program;
// each platform writes it in its console's encoding (console_posix.cpp, console_win32.cpp).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class Console {
  public:
    virtual ~Console() = default;
    // Text for people and scripts, UTF-8; written at once (a --watch line shows when it happens).
    virtual void Out(std::string_view utf8) = 0;
    // A --json line: UTF-8 whatever the console's code page (a console window shows it as text).
    virtual void OutJson(std::string_view utf8) { Out(utf8); }
    // Bytes as they are: a raw EEPROM image.
    virtual void OutBytes(std::string_view bytes) = 0;
    // One error line, UTF-8.
    virtual void Err(std::string_view utf8) = 0;
    // Standard output is a terminal (a console window), not a file or a pipe.
    virtual bool OutIsTerminal() const { return false; }
};

// The program's arguments, without its name, as UTF-8 (on Windows from the wide command line:
// the C runtime's are in the code page, which cannot hold every file name).
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// The process's standard output and standard error.
std::unique_ptr<Console> OpenStandardConsole();

// From now on the first Ctrl-C calls `interrupted` on a thread of its own (again and again until
// the process ends, in case a transfer started just after it), so that the command stops at its
// next step and says what it left. A second Ctrl-C calls `endNow` with 130; SIGTERM (POSIX) with
// 143. On Windows, closing the console asks the command to stop and waits in the handler (the few
// seconds Windows gives it) until `stopped` says the command has ended, then calls `endNow` with
// 143: a write is never cut without its report.
void CatchInterrupts(std::function<void()> interrupted, std::function<void(int code)> endNow,
                     std::function<bool()> stopped);
