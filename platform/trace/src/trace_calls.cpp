// The trace_ forms of the board-facing calls: each makes the call, and when the trace is on
// writes its line (docs/TRACE.md). Compiled without trace_redirect.h, so that the plain names
// here are the calls themselves: kernel32's and setupapi's, or the stand-in's.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "board_trace.h"
#include "trace_file.h"

namespace {

using Clock = std::chrono::steady_clock;

// The record that comes with the board's control codes: offset, length, data pointer, request
// (16 bytes in a 32-bit program, 24 in a 64-bit one).
struct ControlBlockLayout {
    std::uint32_t offset;
    std::uint32_t length;
    void* data;
    std::uint32_t request;
};
constexpr DWORD kControlBlockSize = sizeof(ControlBlockLayout);
constexpr DWORD kMaxWindow = 4096;

struct OpenHandle {
    std::string label;  // "h3:PIPE02"
};

// A request that went pending, until the call that gives its result.
struct Pending {
    unsigned long long line = 0;
    HANDLE handle = nullptr;
    const std::uint8_t* output = nullptr;  // a read's or a control code's buffer
    DWORD outputSize = 0;
    const std::uint8_t* window = nullptr;  // a control code's data
    DWORD windowSize = 0;
    Clock::time_point start;
};

class Session {
  public:
    static Session& Instance() {
        static Session* const session = new Session;  // reached until the process ends
        return *session;
    }

    // "12 0.123 T1 Call" with the line's number, for the rest of the fields.
    std::string Begin(const char* call, unsigned long long& line) {
        std::lock_guard hold(lock_);
        line = ++lines_;
        const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
        auto [thread, added] = threads_.emplace(std::this_thread::get_id(), threads_.size() + 1);
        char head[96];
        std::snprintf(head, sizeof head, "%llu %.6f T%zu %s", line, seconds, thread->second, call);
        return head;
    }
    std::string Begin(const char* call) {
        unsigned long long line;
        return Begin(call, line);
    }

    void Opened(HANDLE h, const std::string& name) {
        std::lock_guard hold(lock_);
        handles_[h] = OpenHandle{"h" + std::to_string(++handleCount_) + ":" + name};
    }
    // "h3:PIPE02"; empty for a handle that is not the board's.
    std::string Label(HANDLE h) {
        std::lock_guard hold(lock_);
        const auto it = handles_.find(h);
        return it == handles_.end() ? std::string() : it->second.label;
    }
    // Forgets a handle that is being closed, before the close: once it is closed its value may
    // come back at once for another thread's open. Returns its label.
    std::string Forget(HANDLE h) {
        std::lock_guard hold(lock_);
        const auto it = handles_.find(h);
        if (it == handles_.end()) return {};
        std::string label = it->second.label;
        handles_.erase(it);
        for (auto p = pending_.begin(); p != pending_.end();)
            p = p->second.handle == h ? pending_.erase(p) : std::next(p);
        return label;
    }
    void Went(LPOVERLAPPED overlapped, const Pending& p) {
        std::lock_guard hold(lock_);
        pending_[overlapped] = p;
    }
    bool Took(LPOVERLAPPED overlapped, Pending& p) {
        std::lock_guard hold(lock_);
        const auto it = pending_.find(overlapped);
        if (it == pending_.end()) return false;
        p = it->second;
        pending_.erase(it);
        return true;
    }

  private:
    std::mutex lock_;
    const Clock::time_point start_ = Clock::now();
    unsigned long long lines_ = 0;
    std::map<std::thread::id, std::size_t> threads_;
    std::map<HANDLE, OpenHandle> handles_;
    unsigned handleCount_ = 0;
    std::map<LPOVERLAPPED, Pending> pending_;
};

std::string Hex(const void* data, std::size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out.empty() ? "-" : out;
}

// What a path names: PIPE00..PIPE03 after the device path, else the device.
std::string NameOf(const char* path) {
    const std::size_t n = path == nullptr ? 0 : std::strlen(path);
    if (n > 7 && std::strncmp(path + n - 7, "\\PIPE0", 6) == 0 && path[n - 1] >= '0' && path[n - 1] <= '3')
        return path + n - 6;
    return "device";
}

// The result fields: "result=ok error=0", "result=pending error=997" or "result=fail error=N".
std::string Result(BOOL ok, DWORD error) {
    if (ok) return " result=ok error=0";
    return std::string(error == ERROR_IO_PENDING ? " result=pending" : " result=fail") +
           " error=" + std::to_string(error);
}

// Keeps the call's last error across the trace's own work.
class KeepLastError {
  public:
    KeepLastError() : error_(GetLastError()) {}
    ~KeepLastError() { SetLastError(error_); }
    DWORD Error() const { return error_; }

  private:
    DWORD error_;
};

DWORD Transferred(LPDWORD count, LPOVERLAPPED overlapped) {
    if (count != nullptr) return *count;
    return overlapped != nullptr ? static_cast<DWORD>(overlapped->InternalHigh) : 0;
}

// A request's line: what was asked; then, when it ended at once, what came back; when it went
// pending, it is remembered for the call that gives its result.
void Request(const char* call, std::string fields, HANDLE handle, BOOL ok, LPOVERLAPPED overlapped,
             LPDWORD count, const Pending& what) {
    KeepLastError kept;
    unsigned long long line;
    std::string text = Session::Instance().Begin(call, line) +
                       " handle=" + Session::Instance().Label(handle) + fields + Result(ok, kept.Error());
    if (ok) {
        const DWORD n = Transferred(count, overlapped);
        text += " bytes=" + std::to_string(n);
        if (what.output != nullptr) text += " out=" + Hex(what.output, std::min(n, what.outputSize));
        if (what.window != nullptr) text += " window=" + Hex(what.window, what.windowSize);
    } else if (kept.Error() == ERROR_IO_PENDING && overlapped != nullptr) {
        Pending p = what;
        p.line = line;
        p.handle = handle;
        p.start = Clock::now();
        Session::Instance().Went(overlapped, p);
    }
    board_trace::WriteLine(text);
}

}  // namespace

extern "C" {

HANDLE WINAPI trace_CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                DWORD disposition, DWORD flags, HANDLE templateFile) {
    HANDLE h = CreateFileA(name, access, share, security, disposition, flags, templateFile);
    if (!board_trace::Active()) return h;
    KeepLastError kept;
    std::string text = Session::Instance().Begin("CreateFile");
    if (h != INVALID_HANDLE_VALUE) {
        Session::Instance().Opened(h, NameOf(name));
        text += " handle=" + Session::Instance().Label(h) + " result=ok error=0";
    } else {
        text += " handle=-:" + NameOf(name) + " result=fail error=" + std::to_string(kept.Error());
    }
    board_trace::WriteLine(text + " path=" + (name != nullptr ? name : ""));
    return h;
}

BOOL WINAPI trace_ReadFile(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED overlapped) {
    const BOOL ok = ReadFile(file, buffer, size, read, overlapped);
    if (board_trace::Active() && !Session::Instance().Label(file).empty()) {
        Pending what;
        what.output = static_cast<const std::uint8_t*>(buffer);
        what.outputSize = size;
        Request("ReadFile", " len=" + std::to_string(size), file, ok, overlapped, read, what);
    }
    return ok;
}

BOOL WINAPI trace_WriteFile(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD written,
                            LPOVERLAPPED overlapped) {
    // The bytes as they were asked for, before the call can change anything.
    const bool traced = board_trace::Active() && !Session::Instance().Label(file).empty();
    const std::string in = traced ? Hex(buffer, size) : std::string();
    const BOOL ok = WriteFile(file, buffer, size, written, overlapped);
    if (traced) Request("WriteFile", " in=" + in, file, ok, overlapped, written, Pending{});
    return ok;
}

BOOL WINAPI trace_DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                                  DWORD outSize, LPDWORD returned, LPOVERLAPPED overlapped) {
    const bool traced = board_trace::Active() && !Session::Instance().Label(device).empty();
    std::string fields;
    Pending what;
    if (traced) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08lx", static_cast<unsigned long>(code));
        std::string block = in != nullptr ? std::string(static_cast<const char*>(in), inSize) : std::string();
        if (inSize == kControlBlockSize) {
            // The data the record points to goes along as the window; the pointer itself, which
            // differs from run to run, is written as zeros.
            std::uint32_t length;
            std::uintptr_t data;
            std::memcpy(&length, block.data() + 4, sizeof length);
            std::memcpy(&data, block.data() + 8, sizeof data);
            std::memset(block.data() + 8, 0, sizeof data);
            if (length >= 1 && length <= kMaxWindow && data != 0) {
                what.window = reinterpret_cast<const std::uint8_t*>(data);
                what.windowSize = length;
            }
        }
        fields = std::string(" code=") + hex + " in=" + Hex(block.data(), block.size()) +
                 " window=" + Hex(what.window, what.windowSize) + " len=" + std::to_string(outSize);
        what.output = static_cast<const std::uint8_t*>(out);
        what.outputSize = outSize;
    }
    const BOOL ok = DeviceIoControl(device, code, in, inSize, out, outSize, returned, overlapped);
    if (traced) Request("DeviceIoControl", fields, device, ok, overlapped, returned, what);
    return ok;
}

BOOL WINAPI trace_GetOverlappedResult(HANDLE file, LPOVERLAPPED overlapped, LPDWORD transferred, BOOL wait) {
    const BOOL ok = GetOverlappedResult(file, overlapped, transferred, wait);
    if (!board_trace::Active()) return ok;
    KeepLastError kept;
    // A look that finds the request still running is no result.
    Pending p;
    if ((!ok && kept.Error() == ERROR_IO_INCOMPLETE) || !Session::Instance().Took(overlapped, p)) return ok;
    unsigned long long line;
    std::string text = Session::Instance().Begin("GetOverlappedResult", line) +
                       " handle=" + Session::Instance().Label(file) + " for=" + std::to_string(p.line) +
                       Result(ok, kept.Error());
    const DWORD n = Transferred(transferred, overlapped);
    text += " bytes=" + std::to_string(n);
    if (ok && p.output != nullptr) text += " out=" + Hex(p.output, std::min(n, p.outputSize));
    if (ok && p.window != nullptr) text += " window=" + Hex(p.window, p.windowSize);
    char pending[32];
    std::snprintf(pending, sizeof pending, " pending_ms=%.3f",
                  std::chrono::duration<double, std::milli>(Clock::now() - p.start).count());
    board_trace::WriteLine(text + pending);
    return ok;
}

BOOL WINAPI trace_CancelIo(HANDLE file) {
    const BOOL ok = CancelIo(file);
    if (board_trace::Active() && !Session::Instance().Label(file).empty()) {
        KeepLastError kept;
        board_trace::WriteLine(Session::Instance().Begin("CancelIo") +
                               " handle=" + Session::Instance().Label(file) + Result(ok, kept.Error()));
    }
    return ok;
}

BOOL WINAPI trace_CancelIoEx(HANDLE file, LPOVERLAPPED overlapped) {
    const BOOL ok = CancelIoEx(file, overlapped);
    if (board_trace::Active() && !Session::Instance().Label(file).empty()) {
        KeepLastError kept;
        board_trace::WriteLine(Session::Instance().Begin("CancelIoEx") +
                               " handle=" + Session::Instance().Label(file) + Result(ok, kept.Error()));
    }
    return ok;
}

BOOL WINAPI trace_CloseHandle(HANDLE object) {
    const std::string label = board_trace::Active() ? Session::Instance().Forget(object) : std::string();
    const BOOL ok = CloseHandle(object);
    if (!label.empty()) {
        KeepLastError kept;
        board_trace::WriteLine(Session::Instance().Begin("CloseHandle") + " handle=" + label +
                               Result(ok, kept.Error()));
    }
    return ok;
}

HDEVINFO WINAPI trace_SetupDiGetClassDevsA(const GUID* guid, PCSTR enumerator, HWND parent, DWORD flags) {
    HDEVINFO set = SetupDiGetClassDevsA(guid, enumerator, parent, flags);
    if (board_trace::Active()) {
        KeepLastError kept;
        board_trace::WriteLine(Session::Instance().Begin("SetupDiGetClassDevs") +
                               Result(set != INVALID_HANDLE_VALUE, kept.Error()));
    }
    return set;
}

BOOL WINAPI trace_SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA info, const GUID* guid,
                                              DWORD index, PSP_DEVICE_INTERFACE_DATA data) {
    const BOOL ok = SetupDiEnumDeviceInterfaces(set, info, guid, index, data);
    if (board_trace::Active()) {
        KeepLastError kept;
        board_trace::WriteLine(Session::Instance().Begin("SetupDiEnumDeviceInterfaces") +
                               " index=" + std::to_string(index) + Result(ok, kept.Error()));
    }
    return ok;
}

BOOL WINAPI trace_SetupDiGetDeviceInterfaceDetailA(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data,
                                                   PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD size,
                                                   PDWORD required, PSP_DEVINFO_DATA info) {
    const BOOL ok = SetupDiGetDeviceInterfaceDetailA(set, data, detail, size, required, info);
    if (board_trace::Active()) {
        KeepLastError kept;
        std::string text =
            Session::Instance().Begin("SetupDiGetDeviceInterfaceDetail") + Result(ok, kept.Error());
        if (ok && detail != nullptr) text += std::string(" path=") + detail->DevicePath;
        board_trace::WriteLine(text);
    }
    return ok;
}

BOOL WINAPI trace_SetupDiDestroyDeviceInfoList(HDEVINFO set) {
    const BOOL ok = SetupDiDestroyDeviceInfoList(set);
    if (board_trace::Active()) {
        KeepLastError kept;
        board_trace::WriteLine(Session::Instance().Begin("SetupDiDestroyDeviceInfoList") +
                               Result(ok, kept.Error()));
    }
    return ok;
}

}  // extern "C"
