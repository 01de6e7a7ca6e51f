// The bus directory's checks, the clean-up of temporary files left by killed writers, and a board's socket.
#include "vbus/bus_dir.h"
#include "vbus/stream.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace vbus {
namespace {

namespace fs = std::filesystem;

class BusDirTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "vbus-dir-test-XXXXXX").string();
        ASSERT_TRUE(::mkdtemp(pattern.data()));
        root_ = pattern;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    std::string Path(const std::string& name) const { return root_ + "/" + name; }
    static unsigned Mode(const std::string& path) {
        struct stat st {};
        EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
        return st.st_mode & 07777;
    }
    static void Touch(const std::string& path) { std::ofstream(path) << "x"; }

    std::string root_;
};

TEST_F(BusDirTest, CreatesTheDirectoryClosedToOthers) {
    const mode_t old = ::umask(0);  // nothing wider than 0700, whatever the umask allows
    const std::string bus = Path("run/user/bus");
    std::string why;
    EXPECT_TRUE(EnsureBusDirectory(bus, &why)) << why;
    ::umask(old);
    EXPECT_EQ(Mode(bus), 0700u);
    EXPECT_TRUE(EnsureBusDirectory(bus, &why)) << why;  // and takes it as it is the next time
    EXPECT_TRUE(CheckBusDirectory(bus));
}

TEST_F(BusDirTest, RefusesDirectoriesOpenToOthersOrNotOurs) {
    const std::string bus = Path("bus");
    ASSERT_EQ(::mkdir(bus.c_str(), 0700), 0);
    Touch(SocketPath(bus, 0));
    Touch(TcpEndpointPath(bus, 0));
    ASSERT_EQ(ListSlots(bus), std::vector<int>{0});

    // Any access by the group or others, not only writes: a board's secret and sockets are there.
    for (unsigned mode : {0777u, 0770u, 0702u, 01777u, 0755u, 0710u, 0701u, 0740u}) {
        ASSERT_EQ(::chmod(bus.c_str(), mode), 0);
        std::string why;
        EXPECT_FALSE(EnsureBusDirectory(bus, &why)) << std::oct << mode;
        EXPECT_NE(why.find(bus), std::string::npos) << why;
        EXPECT_NE(why.find("chmod 700 " + bus), std::string::npos) << why;
        EXPECT_NE(why.find("VBOARD_BUS"), std::string::npos) << why;
        EXPECT_EQ(Mode(bus), mode) << "a refused directory is left as it is";
        EXPECT_TRUE(ListSlots(bus).empty()) << "no board is listed in a directory open to others";
        EXPECT_TRUE(ListTcpSlots(bus).empty());
    }
    ASSERT_EQ(::chmod(bus.c_str(), 0700), 0);
    EXPECT_TRUE(EnsureBusDirectory(bus));
    EXPECT_EQ(ListSlots(bus), std::vector<int>{0});

    // Someone else's directory, whether reached directly or through a link of ours.
    std::string foreign = "/";
    if (::geteuid() == 0) {
        foreign = Path("foreign");
        ASSERT_EQ(::mkdir(foreign.c_str(), 0700), 0);
        ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0);
    }
    std::string why;
    EXPECT_FALSE(EnsureBusDirectory(foreign, &why));
    EXPECT_NE(why.find("belongs to user"), std::string::npos) << why;
    EXPECT_NE(why.find(foreign), std::string::npos) << why;
    fs::create_directory_symlink(foreign, Path("link-to-foreign"));
    EXPECT_FALSE(CheckBusDirectory(Path("link-to-foreign"), &why));
    EXPECT_NE(why.find("belongs to user"), std::string::npos) << why;
    fs::create_directory_symlink(bus, Path("link-to-ours"));
    EXPECT_TRUE(CheckBusDirectory(Path("link-to-ours"), &why)) << why;

    // Not a directory at all.
    Touch(Path("file"));
    EXPECT_FALSE(EnsureBusDirectory(Path("file"), &why));
    EXPECT_NE(why.find("not a directory"), std::string::npos) << why;
}

// Cleanup takes only the bus's own temporary files (a hidden name with its mark and a random
// part) whose writer is gone: a live writer holds the file's lock, wherever its process runs.
// A user's files, however alike, and files of other names stay.
TEST_F(BusDirTest, RemovesOnlyItsOwnTemporaryFilesOfWritersThatAreGone) {
    const std::string file = Path("board.eeprom");
    const std::string dead = Path(".board.eeprom.vboard-tmp-0123456789abcdef");
    const std::string held = Path(".board.eeprom.vboard-tmp-fedcba9876543210");
    const std::string lookalikes[] = {
        file + ".tmp20240101", file + ".tmp99999", file + ".tmp1",  // a user's, and older versions'
        Path(".board.eeprom.vboard-tmp-0123"),                      // random part too short
        Path(".board.eeprom.vboard-tmp-0123456789ABCDEF"),          // not ours: upper case
        Path(".other.eeprom.vboard-tmp-0123456789abcdef"),          // another file's
        Path("board.eeprom.vboard-tmp-0123456789abcdef"),           // not hidden
    };
    for (const auto& p : lookalikes) Touch(p);
    Touch(file);
    Touch(dead);
    Touch(held);
    const std::string target = Path("target");
    Touch(target);
    const std::string link = Path(".board.eeprom.vboard-tmp-00000000000000aa");
    fs::create_symlink(target, link);

    // A writer alive in another process holds its file's lock.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t writer = ::fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        const int fd = ::open(held.c_str(), O_RDONLY);
        ::flock(fd, LOCK_EX);
        (void)!::write(ready[1], "x", 1);
        ::pause();
        ::_exit(0);
    }
    char c;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);

    RemoveStaleTemporaries(file);
    EXPECT_FALSE(fs::exists(dead)) << "a dead writer's file";
    EXPECT_TRUE(fs::exists(held)) << "a live writer's file";
    for (const auto& p : lookalikes) EXPECT_TRUE(fs::exists(p)) << p;
    EXPECT_TRUE(fs::is_symlink(link)) << "a link is no file of ours";
    EXPECT_TRUE(fs::exists(target));

    ::kill(writer, SIGKILL);
    ::waitpid(writer, nullptr, 0);
    RemoveStaleTemporaries(file);
    EXPECT_FALSE(fs::exists(held)) << "its writer has gone";
    RemoveStaleTemporaries(Path("missing/board-0.eeprom"));  // no directory: nothing to do
    ::close(ready[0]);
    ::close(ready[1]);
}

// The write never goes through a planted link, keeps the mode of the file it replaces, makes a
// new file the owner's alone, and leaves no temporary file.
TEST_F(BusDirTest, AReplacementNeitherFollowsLinksNorChangesModes) {
    const std::string file = Path("board.eeprom");
    const std::string target = Path("target");
    Touch(target);
    ASSERT_EQ(::chmod(target.c_str(), 0644), 0);

    const mode_t old = ::umask(0);
    EXPECT_TRUE(ReplaceFileAtomically(file, "new"));
    ::umask(old);
    EXPECT_EQ(Mode(file), 0600u);
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    EXPECT_TRUE(ReplaceFileAtomically(file, "newer"));
    EXPECT_EQ(Mode(file), 0640u) << "the user's mode stays";

    // Links planted at the names a write might use are never followed.
    for (const auto& entry : {".board.eeprom.vboard-tmp-", "board.eeprom.tmp"})
        for (int i = 0; i < 3; ++i)
            fs::create_symlink(target, Path(entry + std::to_string(i) + "0123456789abcde"));
    EXPECT_TRUE(ReplaceFileAtomically(file, "newest"));
    std::ifstream in(target);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "x") << "the link's target was written";
    EXPECT_EQ(Mode(target), 0644u);
    std::size_t entries = 0;
    for (const auto& e : fs::directory_iterator(root_)) entries += !fs::is_symlink(e.symlink_status());
    EXPECT_EQ(entries, 2u) << "the file and the target, no temporary file";
}

// A board's socket is its owner's alone whatever the umask, and a file of another kind at its
// name is left alone: the board refuses to start there instead.
TEST_F(BusDirTest, ABoardsSocketIsItsOwnersAlone) {
    for (const mode_t mask : {0000, 0022, 0077}) {
        const mode_t old = ::umask(mask);
        std::string why;
        auto listener = ListenUnix(SocketPath(root_, 0), why);
        ::umask(old);
        ASSERT_TRUE(listener) << why;
        EXPECT_EQ(Mode(SocketPath(root_, 0)), 0600u) << "umask " << std::oct << mask;
    }
    Touch(SocketPath(root_, 1));
    std::string why;
    EXPECT_FALSE(ListenUnix(SocketPath(root_, 1), why));
    EXPECT_NE(why.find("no board's socket"), std::string::npos) << why;
    EXPECT_TRUE(fs::is_regular_file(SocketPath(root_, 1)));
}

// A frame sent to a peer that reads nothing: the send gives up at its deadline instead of
// waiting for ever behind the full socket (a cancel waits behind that send).
TEST_F(BusDirTest, AFrameToAPeerThatReadsNothingGivesUpAtItsDeadline) {
    std::string why;
    auto listener = ListenUnix(SocketPath(root_, 0), why);
    ASSERT_TRUE(listener) << why;
    auto client = ConnectUnix(SocketPath(root_, 0));
    ASSERT_TRUE(client);
    auto server = listener->Accept();  // and never reads
    ASSERT_TRUE(server);
    const Message big = Submit{1, Op::Write, 0, 0, Bytes(kMaxBytes, 0x5A), {}};
    int sent = 0;
    while (WriteMessageWithin(*client, big, 200) && sent < 1000) ++sent;
    EXPECT_LT(sent, 1000) << "the socket never filled";
    EXPECT_GT(sent, 0);
}

}  // namespace
}  // namespace vbus
