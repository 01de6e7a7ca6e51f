// The Windows-API stand-in as the Windows test build has it: compiled with the same forced
// header as the system code, so CreateEventA, WaitForSingleObject, CloseHandle, CreateFileA and
// the SetupDi* calls below are the stand-in's, while CreateThread, CreateEventW, the semaphore
// calls and GetLastError stay kernel32's. Runs under wine.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

const GUID kBoardGuid = {0x77F49320, 0x16EF, 0x11D2, {0xAD, 0x51, 0x00, 0x60, 0x97, 0xB5, 0x14, 0xDD}};

DWORD WINAPI WaitForGate(LPVOID gate) {
    ::WaitForSingleObjectEx(static_cast<HANDLE>(gate), INFINITE, FALSE);  // kernel32's own wait
    return 7;
}

// An empty bus directory of its own for each test.
class StandinOnWindows : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("wintest-bus-" + std::to_string(GetCurrentProcessId()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
        _putenv_s("VBOARD_BUS", dir_.string().c_str());
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::filesystem::path dir_;
};

TEST_F(StandinOnWindows, EventsAreTheStandInsAndNeverTakeAKernelHandleValue) {
    HANDLE kernel = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE ours = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(kernel, nullptr);
    ASSERT_NE(ours, nullptr);
    EXPECT_NE(ours, kernel);
    // Kernel handles are small; the stand-in's are far above them.
    EXPECT_LT(reinterpret_cast<std::uintptr_t>(kernel), 0x4000000u);
    EXPECT_GE(reinterpret_cast<std::uintptr_t>(ours), 0x5A000000u);
    // kernel32 does not know the stand-in's handle.
    EXPECT_EQ(::WaitForSingleObjectEx(ours, 0, FALSE), WAIT_FAILED);

    EXPECT_EQ(WaitForSingleObject(ours, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(SetEvent(ours));
    EXPECT_EQ(WaitForSingleObject(ours, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ResetEvent(ours));
    EXPECT_EQ(WaitForSingleObject(ours, 10), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(ours));
    EXPECT_FALSE(CloseHandle(ours));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(CloseHandle(kernel));
}

TEST_F(StandinOnWindows, WaitsAndClosesOnKernelHandlesGoToKernel32) {
    // SetEvent is the stand-in's here: the thread waits for a kernel semaphore instead.
    HANDLE gate = CreateSemaphoreW(nullptr, 0, 1, nullptr);
    ASSERT_NE(gate, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, WaitForGate, gate, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 20), WAIT_TIMEOUT);
    ASSERT_TRUE(ReleaseSemaphore(gate, 1, nullptr));
    EXPECT_EQ(WaitForSingleObject(thread, 30000), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 7u);
    EXPECT_TRUE(CloseHandle(thread));
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(CloseHandle(gate));

    HANDLE set = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(set, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(set));
}

TEST_F(StandinOnWindows, AnEmptyBusHasNoBoardAndErrorsReachGetLastError) {
    HDEVINFO set = SetupDiGetClassDevsA(&kBoardGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &kBoardGuid, 0, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    // A device set is no kernel object.
    EXPECT_FALSE(CloseHandle(set));
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));

    const char path[] = "\\\\?\\vboard#board&0#VB000000#{77f49320-16ef-11d2-ad51-006097b514dd}";
    EXPECT_EQ(CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                          nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

}  // namespace
