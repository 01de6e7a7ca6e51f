// The bus directory's checks and the clean-up of temporary files left by killed writers.
#include "vbus/bus_dir.h"

#include <gtest/gtest.h>
#include <stdlib.h>
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

TEST_F(BusDirTest, RefusesDirectoriesOthersCanWriteOrDoNotBelongToUs) {
    const std::string bus = Path("bus");
    ASSERT_EQ(::mkdir(bus.c_str(), 0700), 0);
    Touch(SocketPath(bus, 0));
    Touch(TcpEndpointPath(bus, 0));
    ASSERT_EQ(ListSlots(bus), std::vector<int>{0});

    for (unsigned mode : {0777u, 0770u, 0702u, 01777u}) {
        ASSERT_EQ(::chmod(bus.c_str(), mode), 0);
        std::string why;
        EXPECT_FALSE(EnsureBusDirectory(bus, &why)) << std::oct << mode;
        EXPECT_NE(why.find(bus), std::string::npos) << why;
        EXPECT_NE(why.find("chmod 700 " + bus), std::string::npos) << why;
        EXPECT_NE(why.find("VBOARD_BUS"), std::string::npos) << why;
        EXPECT_EQ(Mode(bus), mode) << "a refused directory is left as it is";
        EXPECT_TRUE(ListSlots(bus).empty()) << "no board is listed in a directory others can write";
        EXPECT_TRUE(ListTcpSlots(bus).empty());
    }
    ASSERT_EQ(::chmod(bus.c_str(), 0755), 0);  // others may look, not write
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

TEST_F(BusDirTest, RemovesTemporaryFilesOfDeadWritersOnly) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) ::_exit(0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);  // its pid is now free: a killed writer's
    const std::string file = Path("board-0.eeprom");
    const std::string dead = file + ".tmp" + std::to_string(child);
    const std::string mine = file + ".tmp" + std::to_string(::getpid());
    const std::string living = file + ".tmp" + std::to_string(::getppid());
    const std::string otherFile = Path("board-1.eeprom.tmp") + std::to_string(child);
    const std::string notOurs = file + ".tmpx1";
    for (const auto& p : {file, dead, mine, living, otherFile, notOurs}) Touch(p);

    RemoveStaleTemporaries(file);
    EXPECT_FALSE(fs::exists(dead));
    for (const auto& p : {file, mine, living, otherFile, notOurs}) EXPECT_TRUE(fs::exists(p)) << p;

    EXPECT_TRUE(ReplaceFileAtomically(file, "new"));  // and a write leaves none of its own
    EXPECT_FALSE(fs::exists(mine));
    RemoveStaleTemporaries(Path("missing/board-0.eeprom"));  // no directory: nothing to do
}

}  // namespace
}  // namespace vbus
