// Finding a board by its place among the driver's interfaces, for callers that let the user
// choose one of several boards (discovery itself takes the first that opens).
#include <cstring>

#include "board_link.h"

namespace {

// A walk past this many members is no board set any more: it ends there.
constexpr DWORD kMostInterfaces = 1024;

// The interface set of the board driver, present devices only; destroyed with the object.
class InterfaceSet {
  public:
    InterfaceSet()
        : set_(SetupDiGetClassDevsA(&BOARD_INTERFACE_GUID, nullptr, nullptr,
                                    DIGCF_PRESENT | DIGCF_DEVICEINTERFACE)) {}
    ~InterfaceSet() {
        if (set_ != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(set_);
    }
    InterfaceSet(const InterfaceSet&) = delete;
    InterfaceSet& operator=(const InterfaceSet&) = delete;

    bool Valid() const { return set_ != INVALID_HANDLE_VALUE; }
    HDEVINFO Get() const { return set_; }

    // The member at `index`; false when the set yields none there.
    bool Member(DWORD index, SP_DEVICE_INTERFACE_DATA& data) const {
        std::memset(&data, 0, sizeof data);
        data.cbSize = sizeof data;
        return SetupDiEnumDeviceInterfaces(set_, nullptr, &BOARD_INTERFACE_GUID, index, &data) != FALSE;
    }

  private:
    HDEVINFO set_;
};

}  // namespace

DWORD CountBoardInterfaces() {
    InterfaceSet set;
    if (!set.Valid()) return 0;
    SP_DEVICE_INTERFACE_DATA data;
    DWORD index = 0;
    // A member that fails with another error than no-more-items still counts, as discovery's
    // walk goes on past it.
    while (index < kMostInterfaces && (set.Member(index, data) || GetLastError() != ERROR_NO_MORE_ITEMS))
        ++index;
    return index;
}

int FindBoardAt(DWORD index) {
    InterfaceSet set;
    if (!set.Valid()) return -1;
    SP_DEVICE_INTERFACE_DATA data;
    if (!set.Member(index, data)) return -1;
    HANDLE probe = OpenInterfaceAt(set.Get(), &data, DevicePath);
    if (probe == INVALID_HANDLE_VALUE) return -1;
    CloseHandle(probe);
    return 0;
}

BoardIdentity IdentifyBoardAt(DWORD index) {
    if (FindBoardAt(index) != 0) return {BoardPresence::Absent, 0, kNoBoardTitle};
    HANDLE device = OpenBoardDevice();
    if (device == INVALID_HANDLE_VALUE) return {BoardPresence::Absent, 0, kNoBoardTitle};
    BYTE type = 0;
    const int queried = QueryBoardType(device, type);
    CloseBoardHandle(device);
    if (queried != 0) return {BoardPresence::Absent, 0, kNoBoardTitle};
    return {IsKnownBoardType(type) ? BoardPresence::Known : BoardPresence::Unknown, type,
            BoardTypeTitle(type)};
}
