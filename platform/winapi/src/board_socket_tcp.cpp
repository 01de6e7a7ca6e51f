// Boards reached over their loopback TCP endpoints, the bus secret sent first.
#include "board_socket.h"
#include "vbus/bus_dir.h"
#include "vbus/tcp_endpoint.h"

namespace winapi_impl {

std::vector<int> BoardSlots(const std::string& busDirectory) { return vbus::ListTcpSlots(busDirectory); }

std::unique_ptr<vbus::Stream> ConnectToBoard(const std::string& busDirectory, int slot) {
    return vbus::ConnectTcpBoard(busDirectory, slot);
}

}  // namespace winapi_impl
