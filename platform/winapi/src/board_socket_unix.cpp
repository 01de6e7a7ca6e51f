// Boards reached through their UNIX sockets.
#include "board_socket.h"
#include "vbus/bus_dir.h"

namespace winapi_impl {

std::vector<int> BoardSlots(const std::string& busDirectory) { return vbus::ListSlots(busDirectory); }

std::unique_ptr<vbus::Stream> ConnectToBoard(const std::string& busDirectory, int slot) {
    return vbus::ConnectUnix(vbus::SocketPath(busDirectory, slot));
}

}  // namespace winapi_impl
