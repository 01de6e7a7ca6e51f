// Device setup: the boards on the bus as device interfaces of their class.
#include <setupapi.h>

#include <atomic>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "board_socket.h"
#include "bus.h"
#include "objects.h"
#include "winapi_standin.h"

namespace winapi_impl {
namespace {

std::atomic<DWORD> classDevsFault{0};
std::atomic<DWORD> detailSizeFault{0};

struct Interface {
    GUID guid;
    bool present;
    std::string path;
};

// A snapshot of the bus taken by SetupDiGetClassDevsA.
class DeviceSet final : public Object {
  public:
    DeviceSet() : Object(Kind::DeviceSet) {}
    std::vector<Interface> interfaces;
};

// The GUID travels in its binary form: Data1, Data2 and Data3 little-endian, then Data4.
GUID GuidFromWire(const vbus::Guid& wire) {
    GUID guid;
    guid.Data1 = static_cast<std::uint32_t>(wire[0]) | static_cast<std::uint32_t>(wire[1]) << 8 |
                 static_cast<std::uint32_t>(wire[2]) << 16 | static_cast<std::uint32_t>(wire[3]) << 24;
    guid.Data2 = static_cast<std::uint16_t>(wire[4] | wire[5] << 8);
    guid.Data3 = static_cast<std::uint16_t>(wire[6] | wire[7] << 8);
    std::memcpy(guid.Data4, wire.data() + 8, 8);
    return guid;
}

constexpr std::size_t kDetailFixedPart = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);

std::shared_ptr<DeviceSet> FindSet(HDEVINFO set) {
    return FindObject<DeviceSet>(static_cast<HANDLE>(set), Kind::DeviceSet);
}

// The interface an SP_DEVICE_INTERFACE_DATA of this set names, or nullptr.
const Interface* Named(const DeviceSet& set, const SP_DEVICE_INTERFACE_DATA& data) {
    if (data.Reserved == 0 || data.Reserved > set.interfaces.size()) return nullptr;
    const Interface& found = set.interfaces[data.Reserved - 1];
    return found.guid == data.InterfaceClassGuid ? &found : nullptr;
}

}  // namespace
}  // namespace winapi_impl

using namespace winapi_impl;

extern "C" {

HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID* ClassGuid, PCSTR, HWND, DWORD Flags) {
    if (const DWORD fault = classDevsFault.load()) {
        SetLastError(fault);
        return INVALID_HANDLE_VALUE;
    }
    // Only interface-class mode is offered: the bus knows device interfaces, not devices.
    if ((Flags & DIGCF_DEVICEINTERFACE) == 0 || (ClassGuid == nullptr && (Flags & DIGCF_ALLCLASSES) == 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    auto set = std::make_shared<DeviceSet>();
    const std::string bus = BusDirectory();
    for (int slot : BoardSlots(bus)) {
        auto greeting = Greet(bus, slot, vbus::Purpose::Probe, "");
        if (!greeting || greeting->welcome.error != ERROR_SUCCESS) continue;
        Interface found{GuidFromWire(greeting->welcome.interfaceGuid), greeting->welcome.present,
                        greeting->welcome.devicePath};
        if ((Flags & DIGCF_PRESENT) && !found.present) continue;
        if (!(Flags & DIGCF_ALLCLASSES) && !(found.guid == *ClassGuid)) continue;
        set->interfaces.push_back(std::move(found));
    }
    HANDLE handle = HandleTable::Instance().Insert(set);
    SetLastError(ERROR_SUCCESS);
    return static_cast<HDEVINFO>(handle);
}

BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                        const GUID* InterfaceClassGuid, DWORD MemberIndex,
                                        PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData) {
    auto set = FindSet(DeviceInfoSet);
    if (!set) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    // Narrowing the walk to one device is not offered.
    if (DeviceInfoData != nullptr || InterfaceClassGuid == nullptr || DeviceInterfaceData == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (DeviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    DWORD seen = 0;
    for (std::size_t i = 0; i < set->interfaces.size(); ++i) {
        const Interface& candidate = set->interfaces[i];
        if (!(candidate.guid == *InterfaceClassGuid) || seen++ != MemberIndex) continue;
        DeviceInterfaceData->InterfaceClassGuid = candidate.guid;
        DeviceInterfaceData->Flags = candidate.present ? SPINT_ACTIVE : 0;
        DeviceInterfaceData->Reserved = i + 1;
        return TRUE;
    }
    SetLastError(ERROR_NO_MORE_ITEMS);
    return FALSE;
}

BOOL WINAPI SetupDiGetDeviceInterfaceDetailA(HDEVINFO DeviceInfoSet,
                                             PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
                                             PSP_DEVICE_INTERFACE_DETAIL_DATA_A DeviceInterfaceDetailData,
                                             DWORD DeviceInterfaceDetailDataSize, PDWORD RequiredSize,
                                             PSP_DEVINFO_DATA DeviceInfoData) {
    auto set = FindSet(DeviceInfoSet);
    if (!set) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (DeviceInterfaceData == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (DeviceInterfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA) ||
        (DeviceInfoData != nullptr && DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA))) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    const Interface* found = Named(*set, *DeviceInterfaceData);
    if (found == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (DeviceInterfaceDetailData == nullptr) {
        if (DeviceInterfaceDetailDataSize != 0) {
            SetLastError(ERROR_INVALID_USER_BUFFER);
            return FALSE;
        }
        if (const DWORD fault = detailSizeFault.load()) {
            SetLastError(fault);
            return FALSE;
        }
    } else if (DeviceInterfaceDetailDataSize < kDetailFixedPart + 1 ||
               DeviceInterfaceDetailData->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    const DWORD required = static_cast<DWORD>(kDetailFixedPart + found->path.size() + 1);
    if (RequiredSize != nullptr) *RequiredSize = required;
    if (DeviceInterfaceDetailData == nullptr || DeviceInterfaceDetailDataSize < required) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(DeviceInterfaceDetailData->DevicePath, found->path.c_str(), found->path.size() + 1);
    if (DeviceInfoData != nullptr) {
        DeviceInfoData->ClassGuid = GUID{};  // boards have no setup class here
        DeviceInfoData->DevInst = static_cast<DWORD>(DeviceInterfaceData->Reserved);
        DeviceInfoData->Reserved = 0;
    }
    return TRUE;
}

BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet) {
    if (!HandleTable::Instance().CloseDeviceSet(static_cast<HANDLE>(DeviceInfoSet))) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

}  // extern "C"

namespace standin {

void FailClassDevs(DWORD error) { classDevsFault.store(error); }

void FailDetailSizeQuery(DWORD error) { detailSizeFault.store(error); }

void ClearSetupFaults() {
    classDevsFault.store(0);
    detailSizeFault.store(0);
}

}  // namespace standin
