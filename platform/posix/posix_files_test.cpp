// POSIX files in a private temporary folder: the exact-path lookup, bounded reads, replacement that
// leaves no stray file, keeps the old one on failure, writes through symbolic links and clears away
// what killed saves left, creation that never overwrites, and the XDG locations.
#include "platform/posix/posix_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace loopster {
namespace {

namespace fs = std::filesystem;

class PosixFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "loopster-files-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root = pattern;
    }
    void TearDown() override {
        fs::permissions(root, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(root);
    }
    static void write(const fs::path& path, const std::string& content) {
        std::ofstream(path, std::ios::binary) << content;
    }
    static std::string read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream buffer;
        buffer << in.rdbuf();
        return buffer.str();
    }
    std::size_t entries(const fs::path& folder) const {
        std::size_t count = 0;
        for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) {
            ++count;
        }
        return count;
    }

    fs::path root;
    PosixFiles files;
};

TEST_F(PosixFilesTest, LookupFindsOnlyOrdinaryFiles) {
    write(root / "tovren.txt", "");
    fs::create_directory(root / "folder.txt");
    EXPECT_EQ(files.lookup((root / "tovren.txt").string()), "tovren.txt");
    EXPECT_EQ(files.lookup((root / "folder.txt").string()), "");
    EXPECT_EQ(files.lookup((root / "missing.txt").string()), "");
}

TEST_F(PosixFilesTest, ReadPrefixStopsAtTheLimit) {
    write(root / "big.txt", std::string(10000, 'x'));
    EXPECT_EQ(files.readPrefix((root / "big.txt").string(), 4096)->size(), 4096u);
    write(root / "small.txt", "30\r\n1\r\n");
    EXPECT_EQ(files.readPrefix((root / "small.txt").string(), 4096), "30\r\n1\r\n");
    EXPECT_FALSE(files.readPrefix((root / "missing.txt").string(), 4096));
    EXPECT_FALSE(files.readPrefix(root.string(), 4096));
}

TEST_F(PosixFilesTest, ReplaceCreatesTheFolderAndLeavesNoTemporaryFile) {
    const fs::path target = root / "a" / "b" / "tovren.txt";
    ASSERT_FALSE(files.replaceFile(target.string(), "30\r\n1\r\n"));
    EXPECT_EQ(read(target), "30\r\n1\r\n");
    ASSERT_FALSE(files.replaceFile(target.string(), "100\r\n2\r\n"));
    EXPECT_EQ(read(target), "100\r\n2\r\n");
    EXPECT_EQ(entries(target.parent_path()), 1u);
    EXPECT_EQ(fs::status(root / "a").permissions() & fs::perms::all, fs::perms::owner_all);
}

TEST_F(PosixFilesTest, ReplaceKeepsTheOldFilesPermissionsButAlwaysLetsTheOwnerReadAndWrite) {
    const fs::path target = root / "tovren.txt";
    write(target, "old");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_FALSE(files.replaceFile(target.string(), "new"));
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    // Saved over a file of mode 000 or 044, the new file must still be readable at the next start.
    fs::permissions(target, fs::perms::none);
    ASSERT_FALSE(files.replaceFile(target.string(), "30\r\n1\r\n"));
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(files.readPrefix(target.string(), 4096), "30\r\n1\r\n");
    fs::permissions(target, fs::perms::group_read | fs::perms::others_read);
    ASSERT_FALSE(files.replaceFile(target.string(), "new"));
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);
}

TEST_F(PosixFilesTest, ReplaceWritesThroughSymbolicLinksAndKeepsThem) {
    fs::create_directories(root / "dotfiles" / "loopster");
    fs::create_directories(root / "config");
    const fs::path real = root / "dotfiles" / "loopster" / "tovren.txt";
    write(real, "10\r\n2\r\n");
    // A relative link to a second link, as dotfile managers chain them.
    const fs::path middle = root / "dotfiles" / "current.txt";
    fs::create_symlink("loopster/tovren.txt", middle);
    const fs::path link = root / "config" / "tovren.txt";
    fs::create_symlink(middle, link);

    ASSERT_FALSE(files.replaceFile(link.string(), "55\r\n1\r\n"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(fs::is_symlink(middle));
    EXPECT_EQ(read(real), "55\r\n1\r\n");
    EXPECT_EQ(entries(root / "config"), 1u);
    EXPECT_EQ(entries(real.parent_path()), 1u);

    // A dangling link names the file to create.
    fs::remove(real);
    ASSERT_FALSE(files.replaceFile(link.string(), "60\r\n2\r\n"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(read(real), "60\r\n2\r\n");
}

TEST_F(PosixFilesTest, ReplaceRemovesOnlyItsOwnStaleTemporaryFiles) {
    const fs::path target = root / "tovren.txt";
    write(target, "old");
    const auto make = [this](const char* name, bool old) {
        const fs::path path = root / name;
        write(path, "30\r\n");
        if (old) {
            fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(1));
        }
        return path;
    };
    const fs::path stale = make("tovren.txt.aB3xZ9", true);
    // A mode-000 leftover from a save over a file of that mode.
    const fs::path unreadable = make("tovren.txt.Q0q0Q0", true);
    fs::permissions(unreadable, fs::perms::none);
    // A save still running holds a lock on its file; a save just begun may not hold it yet.
    const fs::path locked = make("tovren.txt.LkLk12", true);
    const int lockFd = ::open(locked.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(lockFd, LOCK_EX | LOCK_NB), 0);
    const fs::path young = make("tovren.txt.yOuNg1", false);
    // Not of our naming, or not an ordinary file.
    const std::vector<fs::path> others = {
        make("tovren.txt.bak", true), make("tovren.txt.abc12", true),
        make("tovren.txt.abc-12", true), make("other.txt.aB3xZ9", true),
        make("tovren.txt.aB3xZ9.1", true)};
    fs::create_directory(root / "tovren.txt.Folder");
    fs::create_symlink(stale, root / "tovren.txt.Linked");

    ASSERT_FALSE(files.replaceFile(target.string(), "new"));
    EXPECT_EQ(read(target), "new");
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_FALSE(fs::exists(unreadable));
    EXPECT_TRUE(fs::exists(locked));
    EXPECT_TRUE(fs::exists(young));
    for (const fs::path& other : others) {
        EXPECT_TRUE(fs::exists(other)) << other;
    }
    EXPECT_TRUE(fs::is_directory(root / "tovren.txt.Folder"));
    EXPECT_TRUE(fs::is_symlink(root / "tovren.txt.Linked"));
    ::close(lockFd);
}

TEST_F(PosixFilesTest, FailedReplaceKeepsTheOldContentAndSaysWhy) {
    fs::create_directory(root / "tovren.txt");
    const auto onFolder = files.replaceFile((root / "tovren.txt").string(), "30\r\n1\r\n");
    ASSERT_TRUE(onFolder);
    EXPECT_NE(onFolder->reason.find("directory"), std::string::npos) << onFolder->reason;
    EXPECT_EQ(entries(root), 1u);

    write(root / "plain", "x");
    const auto underFile = files.replaceFile((root / "plain" / "tovren.txt").string(), "30");
    ASSERT_TRUE(underFile);
    EXPECT_EQ(read(root / "plain"), "x");

    if (::geteuid() != 0) {
        const fs::path locked = root / "locked";
        fs::create_directory(locked);
        write(locked / "tovren.txt", "77\r\n2\r\n");
        fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
        const auto denied = files.replaceFile((locked / "tovren.txt").string(), "30\r\n1\r\n");
        ASSERT_TRUE(denied);
        EXPECT_NE(denied->reason.find("Permission denied"), std::string::npos) << denied->reason;
        EXPECT_EQ(read(locked / "tovren.txt"), "77\r\n2\r\n");
        fs::permissions(locked, fs::perms::owner_all);
    }
}

TEST_F(PosixFilesTest, CreateMakesTheFolderButNeverOverwrites) {
    const fs::path marker = root / "state" / "loopster" / "tovren.txt";
    ASSERT_FALSE(files.createFile(marker.string(), "first"));
    EXPECT_EQ(read(marker), "first");
    EXPECT_TRUE(files.createFile(marker.string(), "second"));
    EXPECT_EQ(read(marker), "first");

    fs::create_directory(root / "folder");
    EXPECT_TRUE(files.createFile((root / "folder").string(), "x"));
    EXPECT_TRUE(fs::is_directory(root / "folder"));
}

class LocationsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_STATE_HOME"}) {
            const char* value = std::getenv(name);
            saved.emplace_back(name, value == nullptr ? std::optional<std::string>()
                                                      : std::optional<std::string>(value));
        }
        ::setenv("HOME", "/home/user", 1);
    }
    void TearDown() override {
        for (const auto& [name, value] : saved) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
};

TEST_F(LocationsTest, XdgFoldersWhenSetHomeDefaultsOtherwise) {
    ::setenv("XDG_CONFIG_HOME", "/x/config", 1);
    ::setenv("XDG_STATE_HOME", "/x/state", 1);
    FileLocations locations = linuxFileLocations();
    EXPECT_EQ(locations.settingsFile, "/x/config/loopster/tovren.txt");
    EXPECT_EQ(locations.markerFile, "/x/state/loopster/tovren.txt");

    ::unsetenv("XDG_CONFIG_HOME");
    ::setenv("XDG_STATE_HOME", "", 1);
    locations = linuxFileLocations();
    EXPECT_EQ(locations.settingsFile, "/home/user/.config/loopster/tovren.txt");
    EXPECT_EQ(locations.markerFile, "/home/user/.local/state/loopster/tovren.txt");

    ::setenv("XDG_CONFIG_HOME", "relative/config", 1);
    EXPECT_EQ(linuxFileLocations().settingsFile, "/home/user/.config/loopster/tovren.txt");
}

}  // namespace
}  // namespace loopster
