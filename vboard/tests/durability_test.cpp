// A board process killed (SIGKILL) while it writes its EEPROM: after a restart the file holds the
// last acknowledged image or the one being written, whole, and no temporary file is left.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "hex.h"
#include "test_support.h"
#include "vboard/control_client.h"
#include "vbus/bus_dir.h"

extern char** environ;

namespace vboard::test {
namespace {

namespace fs = std::filesystem;

// Image k: every byte tells k, each in its own way, so a torn or mixed file shows.
Eeprom Image(std::uint32_t k) {
    Eeprom image{};
    for (int i = 0; i < kEepromSize; ++i) image[i] = static_cast<std::uint8_t>(k * 31 + i * (k % 7 + 1));
    return image;
}

std::string LoadCommand(const Eeprom& image) {
    std::string command = "eeprom load";
    char cell[4];
    for (auto b : image) {
        std::snprintf(cell, sizeof cell, " %02x", b);
        command += cell;
    }
    return command;
}

std::optional<Eeprom> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (content.size() != static_cast<std::size_t>(kEepromSize)) return std::nullopt;
    Eeprom image{};
    std::copy(content.begin(), content.end(), image.begin());
    return image;
}

// The board's own temporary files (a link planted under such a name is not one).
std::vector<std::string> Temporaries(const std::string& dir) {
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec))
        if (entry.path().filename().string().find(".vboard-tmp-") != std::string::npos &&
            !fs::is_symlink(entry.symlink_status()))
            found.push_back(entry.path().filename().string());
    return found;
}

std::string Content(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// `vboard run` on slot 0 of `bus`, as its own process.
pid_t StartBoard(const std::string& bus, const std::string& eeprom, const std::string& log) {
    std::vector<std::string> args{VBOARD_PROGRAM, "run", "--slot", "0", "--eeprom", eeprom};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env{"VBOARD_BUS=" + bus};
    for (char** e = environ; *e; ++e)
        if (std::string(*e).rfind("VBOARD_BUS=", 0) != 0) env.push_back(*e);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    if (posix_spawn(&pid, VBOARD_PROGRAM, &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

bool WaitUntilServing(const std::string& bus) {
    const auto until = std::chrono::steady_clock::now() + kPatience;
    while (std::chrono::steady_clock::now() < until) {
        if (SendCommand(bus, 0, "type")) return true;
        std::this_thread::sleep_for(5ms);
    }
    return false;
}

// Beside the EEPROM file a user keeps files that look like temporary ones, and someone has
// planted links where a write might put its temporary file: the board touches none of them nor
// what the links point to, whatever it writes and however it is killed.
TEST(Durability, KilledDuringWritesTheFileIsOldOrNewWholeAndNoTemporaryIsLeft) {
    constexpr int kKills = 25;
    TempDir dir;
    const std::string bus = dir.File("bus"), data = dir.File("data"), log = dir.File("board.log");
    const std::string eeprom = data + "/board-0.eeprom";
    fs::create_directories(data);
    const std::string target = dir.File("target");
    std::ofstream(target) << "not the board's";
    fs::permissions(target, fs::perms(0644));
    std::vector<std::string> users;
    for (const char* name : {"board-0.eeprom.tmp20240101", "board-0.eeprom.tmp99999", "board-0.eeprom.tmp1"}) {
        users.push_back(data + "/" + name);
        std::ofstream(users.back()) << name;
    }
    for (const char* name : {".board-0.eeprom.vboard-tmp-00000000000000aa", "board-0.eeprom.tmp2"})
        fs::create_symlink(target, data + "/" + name);
    std::mt19937 random(20261207);
    std::uint32_t acknowledged = 0;  // image 0 is written before the first kill
    int leftBehind = 0;

    for (int kill = 0; kill <= kKills; ++kill) {
        const pid_t board = StartBoard(bus, eeprom, log);
        ASSERT_GT(board, 0);
        ASSERT_TRUE(WaitUntilServing(bus)) << "the board did not come up; see " << log;
        // The restarted board took the file as it was and cleared what the killed one left.
        EXPECT_EQ(Temporaries(data), std::vector<std::string>{}) << "after kill " << kill;
        EXPECT_EQ(Temporaries(bus), std::vector<std::string>{}) << "after kill " << kill;
        if (kill > 0) {
            auto reply = SendCommand(bus, 0, "eeprom dump");
            ASSERT_TRUE(reply && reply->ok);
            EXPECT_EQ(reply->text, FormatEepromDump(*ReadFile(eeprom)));
        } else {
            ASSERT_TRUE(SendCommand(bus, 0, LoadCommand(Image(0))));
        }
        if (kill == kKills) {
            ::kill(board, SIGTERM);
            ::waitpid(board, nullptr, 0);
            break;
        }

        // Write images one after another until the board dies under the writer.
        std::atomic<std::uint32_t> done{acknowledged};
        std::thread writer([&, next = acknowledged + 1]() mutable {
            while (auto reply = SendCommand(bus, 0, LoadCommand(Image(next)))) {
                if (!reply->ok) break;
                done = next++;
            }
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(5 + random() % 60));
        ::kill(board, SIGKILL);
        ::waitpid(board, nullptr, 0);
        writer.join();
        acknowledged = done;
        leftBehind += static_cast<int>(Temporaries(data).size());

        auto file = ReadFile(eeprom);
        ASSERT_TRUE(file) << "the EEPROM file is not 256 bytes after kill " << kill;
        const bool old = *file == Image(acknowledged), next = *file == Image(acknowledged + 1);
        EXPECT_TRUE(old || next) << "kill " << kill << ": the file is neither image " << acknowledged
                                 << " (the last acknowledged) nor the next one";
        if (next) ++acknowledged;
    }
    std::printf("%d kills; %d left a temporary file behind; %u images written\n", kKills, leftBehind,
                acknowledged);
    for (const auto& user : users) EXPECT_EQ(Content(user), fs::path(user).filename().string()) << user;
    EXPECT_EQ(Content(target), "not the board's");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, fs::perms(0644));
    EXPECT_FALSE(fs::is_symlink(fs::symlink_status(eeprom))) << "the EEPROM file is the board's own";
}

// A board whose poll keeps failing (here: its process may hold no more descriptors than it
// already has) says so once, does not spin, and ends with status 1 after a second of retries.
TEST(Durability, ABoardWhosePollKeepsFailingSaysSoAndEnds) {
    TempDir dir;
    const std::string bus = dir.File("bus"), log = dir.File("board.log");
    const pid_t board = StartBoard(bus, dir.File("board.eeprom"), log);
    ASSERT_GT(board, 0);
    ASSERT_TRUE(WaitUntilServing(bus)) << "the board did not come up; see " << log;
    const rlimit none{2, 2};
    ASSERT_EQ(::prlimit(board, RLIMIT_NOFILE, &none, nullptr), 0);
    SendCommand(bus, 0, "type");  // wakes its loop, whose next poll fails
    int status = 0;
    pid_t ended = 0;
    const auto until = std::chrono::steady_clock::now() + kPatience;
    while ((ended = ::waitpid(board, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(10ms);
    if (ended == 0) {
        ::kill(board, SIGKILL);
        ::waitpid(board, nullptr, 0);
    }
    ASSERT_EQ(ended, board) << "the board went on without its poll";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const std::string text = Content(log);
    EXPECT_NE(text.find("cannot wait for its connections (poll:"), std::string::npos) << text;
    EXPECT_NE(text.find("the board ends"), std::string::npos) << text;
    std::size_t retries = 0;
    for (std::size_t at = 0; (at = text.find("retrying", at)) != std::string::npos; ++at) ++retries;
    EXPECT_EQ(retries, 1u) << "reported once, not at every retry\n" << text;
}

}  // namespace
}  // namespace vboard::test
