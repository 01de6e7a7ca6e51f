// The console on Windows: the arguments come from the wide command line; text goes to a console
// window as UTF-16, and into a file or pipe in the console's code page; JSON into a file or pipe
// as UTF-8; raw bytes pass unchanged. Ctrl-C and Ctrl-Break arrive through the console's control
// handler.
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "console.h"
#include "exit_codes.h"
#include "utf16.h"

namespace {

bool Ascii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

class StandardConsole final : public Console {
  public:
    StandardConsole() {
        // Raw bytes and Intel HEX stay byte for byte; line ends are written as CRLF below.
        _setmode(_fileno(stdout), _O_BINARY);
        _setmode(_fileno(stderr), _O_BINARY);
    }
    void Out(std::string_view utf8) override { WriteText(stdout, STD_OUTPUT_HANDLE, utf8, false); }
    void OutJson(std::string_view utf8) override { WriteText(stdout, STD_OUTPUT_HANDLE, utf8, true); }
    void OutBytes(std::string_view bytes) override {
        std::fwrite(bytes.data(), 1, bytes.size(), stdout);
        std::fflush(stdout);
    }
    void Err(std::string_view utf8) override { WriteText(stderr, STD_ERROR_HANDLE, utf8, false); }
    bool OutIsTerminal() const override {
        DWORD mode = 0;
        return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
    }

  private:
    // `keepUtf8`: into a file or pipe as UTF-8 (JSON), not in the code page.
    static void WriteText(std::FILE* stream, DWORD which, std::string_view utf8, bool keepUtf8) {
        std::string text;
        for (char c : utf8) {
            if (c == '\n') text += '\r';
            text += c;
        }
        std::fflush(stream);
        HANDLE handle = GetStdHandle(which);
        DWORD mode = 0;
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
            const std::wstring wide = Utf16(text);
            DWORD written = 0;
            WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
            return;
        }
        if (!keepUtf8 && !Ascii(text)) {
            // Redirected: the console's code page (the system's ANSI one without a console).
            UINT page = GetConsoleOutputCP();
            if (page == 0) page = GetACP();
            const std::wstring wide = Utf16(text);
            const int size = WideCharToMultiByte(page, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                                 0, nullptr, nullptr);
            std::string encoded(static_cast<std::size_t>(size), '\0');
            WideCharToMultiByte(page, 0, wide.data(), static_cast<int>(wide.size()), encoded.data(), size,
                                nullptr, nullptr);
            text = encoded;
        }
        std::fwrite(text.data(), 1, text.size(), stream);
        std::fflush(stream);
    }
};

// Live as long as the program.
std::function<void()>* interruptHandler = nullptr;
std::function<void(int)>* endHandler = nullptr;
std::function<bool()>* stoppedCheck = nullptr;
LONG interrupts = 0;

void RepeatInterrupts() {
    // The stop is repeated until the command has ended, in case a transfer started just after it.
    std::thread([] {
        for (;;) {
            (*interruptHandler)();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }).detach();
}

BOOL WINAPI OnControl(DWORD event) {
    if (event == CTRL_CLOSE_EVENT) {
        // Windows ends the process some seconds after this returns, or when it takes too long:
        // stop the command, wait for it within that time, and end with the report.
        if (InterlockedIncrement(&interrupts) == 1) RepeatInterrupts();
        for (int waited = 0; waited < 4000 && !(*stoppedCheck)(); waited += 50) Sleep(50);
        if ((*stoppedCheck)()) return FALSE;  // the command has said what it left
        (*endHandler)(kExitTerminated);
    }
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    if (InterlockedIncrement(&interrupts) > 1) (*endHandler)(kExitInterrupted);
    RepeatInterrupts();
    return TRUE;
}

}  // namespace

std::unique_ptr<Console> OpenStandardConsole() { return std::make_unique<StandardConsole>(); }

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    // The C runtime's argv is in the ANSI code page, which cannot hold every file name.
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) return std::vector<std::string>(argv + 1, argv + argc);
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i) args.push_back(Utf8(wide[i]));
    LocalFree(wide);
    return args;
}

void CatchInterrupts(std::function<void()> interrupted, std::function<void(int code)> endNow,
                     std::function<bool()> stopped) {
    interruptHandler = new std::function<void()>(std::move(interrupted));
    endHandler = new std::function<void(int)>(std::move(endNow));
    stoppedCheck = new std::function<bool()>(std::move(stopped));
    SetConsoleCtrlHandler(OnControl, TRUE);
}
