// Where boardctl's output goes, and how it learns of Ctrl-C. Text is UTF-8 inside the program;
// each platform writes it in its console's encoding (console_posix.cpp, console_win32.cpp).
#pragma once

#include <functional>
#include <memory>
#include <string_view>

class Console {
  public:
    virtual ~Console() = default;
    // Text for people and scripts, UTF-8; written at once (a --watch line shows when it happens).
    virtual void Out(std::string_view utf8) = 0;
    // Bytes as they are: a raw EEPROM image.
    virtual void OutBytes(std::string_view bytes) = 0;
    // One error line, UTF-8.
    virtual void Err(std::string_view utf8) = 0;
};

// The process's standard output and standard error.
std::unique_ptr<Console> OpenStandardConsole();

// From now on Ctrl-C (and on POSIX SIGTERM) calls `interrupted` on a thread of its own, once per
// signal, instead of ending the process.
void CatchInterrupts(std::function<void()> interrupted);
