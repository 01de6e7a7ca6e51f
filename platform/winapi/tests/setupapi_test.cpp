// Device setup over the bus, and opening paths across several boards.
#include <setupapi.h>

#include <cstddef>
#include <cstring>
#include <vector>

#include "io_fixture.h"

namespace winapi_test {
namespace {

constexpr DWORD kFixedPart = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);

class SetupTest : public ::testing::Test {
  protected:
    void TearDown() override {
        standin::ClearSetupFaults();
        standin::SetBoardAnswerLimit(0);
        boards_.clear();
        EXPECT_EQ(standin::OpenHandleCount(), handlesBefore_);
    }
    FakeBoard& Attach(int slot, bool present = true, vbus::Guid guid = BoardGuid()) {
        FakeBoard::Options options{bus_.dir(), slot};
        options.present = present;
        options.guid = guid;
        boards_.push_back(std::make_unique<FakeBoard>(options));
        return *boards_.back();
    }
    HDEVINFO Boards() {
        return SetupDiGetClassDevsA(&kBoardGuid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    }
    static SP_DEVICE_INTERFACE_DATA InterfaceData() {
        SP_DEVICE_INTERFACE_DATA data;
        std::memset(&data, 0, sizeof data);
        data.cbSize = sizeof data;
        return data;
    }
    std::size_t handlesBefore_ = standin::OpenHandleCount();
    TempBus bus_;
    std::vector<std::unique_ptr<FakeBoard>> boards_;
};

TEST_F(SetupTest, PresentBoardsOfTheClassAreListedInSlotOrder) {
    vbus::Guid other = BoardGuid();
    other[15] ^= 1;
    Attach(5);
    Attach(2);
    Attach(3, /*present=*/false);
    Attach(4, true, other);

    HDEVINFO set = Boards();
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    EXPECT_EQ(InterfacePath(set, 0), "\\\\?\\fake#2");
    EXPECT_EQ(InterfacePath(set, 1), "\\\\?\\fake#5");
    SP_DEVICE_INTERFACE_DATA data = InterfaceData();
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &kBoardGuid, 2, &data));
    EXPECT_EQ(GetLastError(), Err(ERROR_NO_MORE_ITEMS));
    // The set is a snapshot: a board that arrives later is not in it.
    Attach(0);
    EXPECT_EQ(InterfacePath(set, 0), "\\\\?\\fake#2");
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));

    set = Boards();
    EXPECT_EQ(InterfacePath(set, 0), "\\\\?\\fake#0");
    EXPECT_TRUE(SetupDiDestroyDeviceInfoList(set));
    EXPECT_FALSE(SetupDiDestroyDeviceInfoList(set));
    EXPECT_EQ(GetLastError(), Err(ERROR_INVALID_HANDLE));
}

TEST_F(SetupTest, AnEmptyBusGivesAnEmptySet) {
    HDEVINFO set = Boards();
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    SP_DEVICE_INTERFACE_DATA data = InterfaceData();
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &kBoardGuid, 0, &data));
    EXPECT_EQ(GetLastError(), Err(ERROR_NO_MORE_ITEMS));
    SetupDiDestroyDeviceInfoList(set);
}

TEST_F(SetupTest, DetailQueriesFollowTheSizeRules) {
    Attach(0);
    HDEVINFO set = Boards();
    SP_DEVICE_INTERFACE_DATA data = InterfaceData();
    ASSERT_TRUE(SetupDiEnumDeviceInterfaces(set, nullptr, &kBoardGuid, 0, &data));
    EXPECT_EQ(data.Flags, SPINT_ACTIVE);
    const std::string path = "\\\\?\\fake#0";
    const DWORD expected = kFixedPart + static_cast<DWORD>(path.size()) + 1;

    DWORD required = 0;
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, nullptr));
    EXPECT_EQ(GetLastError(), Err(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(required, expected);

    std::vector<std::uint8_t> storage(expected + 8, 0xCC);
    auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(storage.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    required = 0;
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, detail, expected - 1, &required, nullptr));
    EXPECT_EQ(GetLastError(), Err(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(required, expected);
    EXPECT_EQ(storage[kFixedPart], 0xCC) << "a short buffer is left alone";

    detail->cbSize = kFixedPart + 1 + 100;  // a record's cbSize is its fixed size, not the buffer's
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, detail, expected, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), Err(ERROR_INVALID_USER_BUFFER));
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, expected, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), Err(ERROR_INVALID_USER_BUFFER));

    EXPECT_TRUE(SetupDiGetDeviceInterfaceDetailA(set, &data, detail, expected, nullptr, nullptr));
    EXPECT_STREQ(detail->DevicePath, path.c_str());
    EXPECT_EQ(storage[expected], 0xCC);

    SP_DEVICE_INTERFACE_DATA wrong = InterfaceData();
    wrong.cbSize = sizeof wrong + 4;
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &kBoardGuid, 0, &wrong));
    EXPECT_EQ(GetLastError(), Err(ERROR_INVALID_USER_BUFFER));
    data.cbSize = 0;
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, detail, expected, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), Err(ERROR_INVALID_USER_BUFFER));
    SetupDiDestroyDeviceInfoList(set);
}

TEST_F(SetupTest, InjectedFaultsFailTheSetupCalls) {
    Attach(0);
    standin::FailClassDevs(ERROR_GEN_FAILURE);
    EXPECT_EQ(Boards(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), Err(ERROR_GEN_FAILURE));
    SP_DEVICE_INTERFACE_DATA data = InterfaceData();
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(INVALID_HANDLE_VALUE, nullptr, &kBoardGuid, 0, &data));
    EXPECT_EQ(GetLastError(), Err(ERROR_INVALID_HANDLE));

    standin::ClearSetupFaults();
    standin::FailDetailSizeQuery(ERROR_NOT_ENOUGH_MEMORY);
    HDEVINFO set = Boards();
    ASSERT_TRUE(SetupDiEnumDeviceInterfaces(set, nullptr, &kBoardGuid, 0, &data));
    DWORD required = 0;
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, nullptr));
    EXPECT_EQ(GetLastError(), Err(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(required, 0u);
    standin::ClearSetupFaults();
    EXPECT_EQ(InterfacePath(set, 0), "\\\\?\\fake#0");
    SetupDiDestroyDeviceInfoList(set);
}

TEST_F(SetupTest, OpeningAPathAsksTheBoardsInSlotOrder) {
    FakeBoard& second = Attach(7);
    FakeBoard::Options refusing{bus_.dir(), 1};
    refusing.devicePath = "\\\\?\\fake#7";  // the same path, but this board refuses its pipes
    refusing.openError = [](const std::string& path) -> std::uint32_t {
        if (path == "\\\\?\\fake#7") return 0;
        return path.rfind("\\\\?\\fake#7\\", 0) == 0 ? ERROR_ACCESS_DENIED : 2;
    };
    boards_.push_back(std::make_unique<FakeBoard>(refusing));
    FakeBoard& first = *boards_.back();

    HANDLE device = CreateFileA("\\\\?\\fake#7", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    EXPECT_EQ(first.OpenConnections(), 1);
    EXPECT_EQ(second.OpenConnections(), 0);
    CloseHandle(device);

    // The lower slot refuses, the next one opens.
    HANDLE pipe = CreateFileA("\\\\?\\fake#7\\PIPE02", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    EXPECT_EQ(second.OpenConnections(), 1);
    CloseHandle(pipe);

    SetLastError(0);
    EXPECT_EQ(CreateFileA("\\\\?\\nobody", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), Err(ERROR_FILE_NOT_FOUND));
}

TEST_F(SetupTest, ARefusalOfTheOwningBoardIsReported) {
    FakeBoard::Options refusing{bus_.dir(), 0};
    refusing.openError = [](const std::string& path) -> std::uint32_t {
        return path == "\\\\?\\fake#0\\PIPE01" ? ERROR_GEN_FAILURE : 2;
    };
    boards_.push_back(std::make_unique<FakeBoard>(refusing));
    Attach(1);
    EXPECT_EQ(CreateFileA("\\\\?\\fake#0\\PIPE01", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), Err(ERROR_GEN_FAILURE));

    // Nothing on the bus: the file is not found.
    boards_.clear();
    EXPECT_EQ(CreateFileA("\\\\?\\fake#0", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), Err(ERROR_FILE_NOT_FOUND));
}

TEST_F(SetupTest, ABoardThatDoesNotAnswerIsPassedOver) {
    standin::SetBoardAnswerLimit(200);
    FakeBoard::Options hung{bus_.dir(), 0};
    hung.silent = true;
    boards_.push_back(std::make_unique<FakeBoard>(hung));
    Attach(1);
    HDEVINFO set = Boards();
    EXPECT_EQ(InterfacePath(set, 0), "\\\\?\\fake#1");
    SetupDiDestroyDeviceInfoList(set);
    HANDLE device = CreateFileA("\\\\?\\fake#1", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(device, INVALID_HANDLE_VALUE);
    CloseHandle(device);
}

}  // namespace
}  // namespace winapi_test
