// The board's loopback TCP endpoint: published for its owner, guarded by the secret.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "test_support.h"
#include "vbus/bus_dir.h"
#include "vbus/tcp_endpoint.h"

namespace vboard::test {
namespace {

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

TEST(TcpEndpoint, IsPublishedForTheOwnerServesLikeTheSocketAndGoesAtDetach) {
    TempDir dir;
    Board board(TestOptions(dir));
    ASSERT_TRUE(board.Start());
    const std::string path = vbus::TcpEndpointPath(board.BusDirectory(), board.Slot());
    struct stat info;
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    auto probe = Client::ConnectTcp(board);
    ASSERT_TRUE(probe);
    const vbus::Welcome welcome = probe->Hello(vbus::Purpose::Probe);
    EXPECT_EQ(welcome.devicePath, board.DevicePath());
    EXPECT_TRUE(welcome.present);

    auto device = Client::ConnectTcp(board);
    ASSERT_TRUE(device);
    ASSERT_EQ(device->Hello(vbus::Purpose::Open, board.DevicePath()).error, 0u);
    const auto type = device->Call(TypeRequest(device->NextId()));
    EXPECT_EQ(type.done.error, 0u);
    EXPECT_EQ(type.done.window, (vbus::Bytes{0x21}));

    board.Stop();
    EXPECT_FALSE(Exists(path));
    EXPECT_TRUE(device->WaitClosed());
}

TEST(TcpEndpoint, AnyOtherPreambleIsClosedWithALogLineAndHarmsNobodyElse) {
    TempDir dir;
    Diagnostics diagnostics;
    auto options = TestOptions(dir);
    options.diagnostics = diagnostics.Sink();
    Board board(options);
    ASSERT_TRUE(board.Start());
    const auto endpoint = vbus::ReadTcpEndpoint(vbus::TcpEndpointPath(board.BusDirectory(), board.Slot()));
    ASSERT_TRUE(endpoint);

    auto good = Client::ConnectTcp(board);
    ASSERT_TRUE(good);
    ASSERT_EQ(good->Hello(vbus::Purpose::Open, board.DevicePath()).error, 0u);

    // A frame where the secret belongs: the secret is not guessed from it, nothing is answered.
    auto stranger = vbus::ConnectTcp(endpoint->port);
    ASSERT_TRUE(stranger);
    vbus::Bytes hello = vbus::Encode(vbus::Hello{1, vbus::Purpose::Probe, ""});
    hello.resize(endpoint->secret.size() + hello.size());
    ASSERT_TRUE(stranger->SendAll(hello.data(), hello.size()));
    std::uint8_t byte;
    EXPECT_FALSE(stranger->ReceiveAll(&byte, 1));
    EXPECT_TRUE(diagnostics.WaitFor("wrong bus secret"));

    auto shy = vbus::ConnectTcp(endpoint->port);
    ASSERT_TRUE(shy);
    ASSERT_TRUE(shy->SendAll(endpoint->secret.data(), 10));
    shy->Shutdown();
    EXPECT_TRUE(diagnostics.WaitFor("closed before sending the bus secret"));

    EXPECT_EQ(good->Call(TypeRequest(good->NextId())).done.error, 0u);

    // One that connects and says nothing does not hold up the detach.
    auto silent = vbus::ConnectTcp(endpoint->port);
    ASSERT_TRUE(silent);
    board.Stop();
    EXPECT_FALSE(silent->ReceiveAll(&byte, 1));
}

TEST(TcpEndpoint, EachBoardHasItsOwnAndAStaleFileIsReplaced) {
    TempDir dir;
    auto first = TestOptions(dir, "a.eeprom");
    ASSERT_TRUE(vbus::EnsureBusDirectory(first.busDir));
    std::ofstream(vbus::TcpEndpointPath(first.busDir, 0)) << "port 1\nsecret 00\n";  // a board that died

    Board a(first), b(TestOptions(dir, "b.eeprom"));
    ASSERT_TRUE(a.Start());
    ASSERT_TRUE(b.Start());
    const auto ea = vbus::ReadTcpEndpoint(vbus::TcpEndpointPath(first.busDir, 0));
    const auto eb = vbus::ReadTcpEndpoint(vbus::TcpEndpointPath(first.busDir, 1));
    ASSERT_TRUE(ea && eb);
    EXPECT_NE(ea->port, eb->port);
    EXPECT_NE(ea->secret, eb->secret);
    EXPECT_EQ(vbus::ListTcpSlots(first.busDir), (std::vector<int>{0, 1}));

    // The secret of one board opens no other.
    auto crossed = vbus::ConnectTcp(eb->port);
    ASSERT_TRUE(crossed);
    ASSERT_TRUE(vbus::SendSecret(*crossed, ea->secret));
    ASSERT_TRUE(vbus::WriteMessage(*crossed, vbus::Hello{1, vbus::Purpose::Probe, ""}));
    std::string why;
    EXPECT_FALSE(vbus::ReadMessage(*crossed, why));

    auto client = Client::ConnectTcp(a);
    ASSERT_TRUE(client);
    EXPECT_EQ(client->Hello(vbus::Purpose::Probe).devicePath, a.DevicePath());
}

}  // namespace
}  // namespace vboard::test
