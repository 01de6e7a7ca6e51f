// Loopback TCP streams, the endpoint file and the secret preamble.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "vbus/bus_dir.h"
#include "vbus/tcp_endpoint.h"

namespace vbus {
namespace {

using namespace std::chrono_literals;

class TempDir {
  public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vbus-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) ADD_FAILURE() << "mkdtemp failed";
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

TcpEndpoint SampleEndpoint(std::uint16_t port) {
    TcpEndpoint endpoint;
    endpoint.port = port;
    for (std::size_t i = 0; i < endpoint.secret.size(); ++i)
        endpoint.secret[i] = static_cast<std::uint8_t>(i * 37);
    return endpoint;
}

// A listener and one connection accepted on it.
struct Pair {
    std::unique_ptr<Listener> listener;
    std::unique_ptr<Stream> client, server;
    std::uint16_t port = 0;
};

Pair Connected() {
    Pair p;
    std::string why;
    p.listener = ListenTcpLoopback(p.port, why);
    EXPECT_TRUE(p.listener) << why;
    if (!p.listener) return p;
    auto accepted = std::async(std::launch::async, [&] { return p.listener->Accept(); });
    p.client = ConnectTcp(p.port);
    p.server = accepted.get();
    EXPECT_TRUE(p.client && p.server);
    return p;
}

TEST(TcpEndpointFile, FormatsAndParsesOnlyWellFormedText) {
    const TcpEndpoint endpoint = SampleEndpoint(40123);
    const std::string text = FormatTcpEndpoint(endpoint);
    auto back = ParseTcpEndpoint(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->port, 40123);
    EXPECT_EQ(back->secret, endpoint.secret);

    const std::string secretLine = text.substr(text.find("secret"));
    const std::string hex = secretLine.substr(7, 64);
    for (const std::string& bad : {
             std::string("port 0\n") + secretLine,
             std::string("port 65536\n") + secretLine,
             std::string("port 4a\n") + secretLine,
             std::string("port \n") + secretLine,
             std::string("port 1234\nsecret ") + hex.substr(0, 62) + "\n",
             std::string("port 1234\nsecret ") + hex.substr(0, 63) + "g\n",
             std::string("port 1234\nsecret ") + hex + "00\n",
             std::string("port 1234\n"),
             text + "extra\n",
             secretLine + "port 1234\n",
         })
        EXPECT_FALSE(ParseTcpEndpoint(bad)) << bad;
}

TEST(TcpEndpointFile, IsPublishedForItsOwnerOnlyAndReplacedWhole) {
    TempDir dir;
    const std::string path = TcpEndpointPath(dir.Path(), 3);
    ASSERT_TRUE(PublishTcpEndpoint(path, SampleEndpoint(1000)));
    ASSERT_TRUE(PublishTcpEndpoint(path, SampleEndpoint(2000)));
    struct stat info;
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    auto read = ReadTcpEndpoint(path);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->port, 2000);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);  // no temporary left

    WriteText(path, "port 2000\n");
    EXPECT_FALSE(ReadTcpEndpoint(path));
    EXPECT_FALSE(ReadTcpEndpoint(TcpEndpointPath(dir.Path(), 4)));
}

TEST(TcpEndpointFile, SlotsAreListedInOrderFromWellFormedNames) {
    TempDir dir;
    for (const char* name : {"board-10.tcp", "board-2.tcp", "board-1.sock", "board-x.tcp", "board-.tcp",
                             "board-3.tcp.tmp7", "other-4.tcp"})
        WriteText(dir.Path() + "/" + name, "");
    EXPECT_EQ(ListTcpSlots(dir.Path()), (std::vector<int>{2, 10}));
    EXPECT_EQ(ListSlots(dir.Path()), (std::vector<int>{1}));
}

TEST(TcpStream, CarriesBytesBothWaysAndEndsOnShutdown) {
    Pair p = Connected();
    ASSERT_TRUE(p.server);
    const std::uint8_t out[] = {1, 2, 3, 4, 5};
    ASSERT_TRUE(p.client->SendAll(out, sizeof out));
    std::uint8_t in[5] = {};
    ASSERT_TRUE(p.server->ReceiveAll(in, sizeof in));
    EXPECT_EQ(std::memcmp(in, out, sizeof out), 0);
    ASSERT_TRUE(WriteMessage(*p.server, Accepted{77}));
    std::string why;
    auto message = ReadMessage(*p.client, why);
    ASSERT_TRUE(message) << why;
    EXPECT_EQ(std::get<Accepted>(*message).id, 77u);

    // A reader blocked on the stream returns once another thread shuts it, and the peer sees the end.
    auto blocked = std::async(std::launch::async, [&] { return p.server->ReceiveAll(in, 1); });
    EXPECT_EQ(blocked.wait_for(100ms), std::future_status::timeout);
    p.server->Shutdown();
    EXPECT_FALSE(blocked.get());
    EXPECT_FALSE(p.client->ReceiveAll(in, 1));
}

TEST(TcpListener, CloseEndsAWaitingAcceptAndNobodyAnswersAfterwards) {
    std::uint16_t port = 0;
    std::string why;
    auto listener = ListenTcpLoopback(port, why);
    ASSERT_TRUE(listener) << why;
    EXPECT_NE(port, 0);
    auto waiting = std::async(std::launch::async, [&] { return listener->Accept(); });
    EXPECT_EQ(waiting.wait_for(100ms), std::future_status::timeout);
    listener->Close();
    EXPECT_EQ(waiting.get(), nullptr);
    listener.reset();
    EXPECT_EQ(ConnectTcp(port), nullptr);
}

TEST(TcpSecret, OnlyTheRightSecretIsAccepted) {
    const Secret secret = SampleEndpoint(1).secret;
    std::string why;
    {
        Pair p = Connected();
        ASSERT_TRUE(SendSecret(*p.client, secret));
        EXPECT_TRUE(ReceiveSecret(*p.server, secret, why)) << why;
    }
    {
        Pair p = Connected();
        Secret wrong = secret;
        wrong[31] ^= 1;
        ASSERT_TRUE(SendSecret(*p.client, wrong));
        EXPECT_FALSE(ReceiveSecret(*p.server, secret, why));
        EXPECT_EQ(why, "wrong bus secret");
    }
    {
        Pair p = Connected();
        ASSERT_TRUE(p.client->SendAll(secret.data(), 31));
        p.client->Shutdown();
        EXPECT_FALSE(ReceiveSecret(*p.server, secret, why));
        EXPECT_EQ(why, "closed before sending the bus secret");
    }
}

TEST(TcpSecret, ConnectingToABoardSendsThePublishedSecretFirst) {
    TempDir dir;
    std::uint16_t port = 0;
    std::string why;
    auto listener = ListenTcpLoopback(port, why);
    ASSERT_TRUE(listener) << why;
    TcpEndpoint endpoint = SampleEndpoint(port);
    endpoint.secret = NewSecret();
    EXPECT_NE(endpoint.secret, NewSecret());
    EXPECT_EQ(ConnectTcpBoard(dir.Path(), 0), nullptr);  // not published yet
    ASSERT_TRUE(PublishTcpEndpoint(TcpEndpointPath(dir.Path(), 0), endpoint));

    auto accepted = std::async(std::launch::async, [&] { return listener->Accept(); });
    auto client = ConnectTcpBoard(dir.Path(), 0);
    ASSERT_TRUE(client);
    auto server = accepted.get();
    ASSERT_TRUE(server);
    EXPECT_TRUE(ReceiveSecret(*server, endpoint.secret, why)) << why;
}

}  // namespace
}  // namespace vbus
