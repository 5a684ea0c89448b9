// POSIX files in a private temporary folder: the exact-path lookup, bounded reads, replacement that
// leaves no stray file and keeps the old one on failure, creation that never overwrites, and the
// XDG locations.
#include "platform/qt/posix_files.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

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

TEST_F(PosixFilesTest, ReplaceKeepsTheOldFilesPermissions) {
    const fs::path target = root / "tovren.txt";
    write(target, "old");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_FALSE(files.replaceFile(target.string(), "new"));
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
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
