// POSIX files in a private temporary folder: the exact-path lookup, bounded reads, replacement that
// leaves no stray file, keeps the old one on failure, writes through symbolic links, refuses what
// is no regular file and clears away what killed saves left (and nothing else), creation that never
// overwrites, and the XDG locations.
#include "hosts/posix/posix_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "hosts/posix/saved_environment.h"

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

TEST_F(PosixFilesTest, ReadPrefixStopsAtTheLimitAndTellsMissingFromUnreadableAndReadOnly) {
    write(root / "big.txt", std::string(10000, 'x'));
    EXPECT_EQ(files.readPrefix((root / "big.txt").string(), 4096).content->size(), 4096u);
    write(root / "small.txt", "30\r\n1\r\n");
    const FileRead small = files.readPrefix((root / "small.txt").string(), 4096);
    EXPECT_EQ(small.content, "30\r\n1\r\n");
    EXPECT_FALSE(small.unreadable);
    EXPECT_FALSE(small.readOnly);

    const FileRead missing = files.readPrefix((root / "missing.txt").string(), 4096);
    EXPECT_FALSE(missing.content);
    EXPECT_FALSE(missing.unreadable);
    const FileRead folder = files.readPrefix(root.string(), 4096);
    EXPECT_FALSE(folder.content);
    ASSERT_TRUE(folder.unreadable);
    EXPECT_EQ(folder.unreadable->reason, kFileIsFolder);

    // chmod a-w: read as ever, and said to be read-only (for root too, who could write it).
    fs::permissions(root / "small.txt", fs::perms::owner_write | fs::perms::group_write,
                    fs::perm_options::remove);
    const FileRead readOnly = files.readPrefix((root / "small.txt").string(), 0);
    EXPECT_EQ(readOnly.content, "");
    EXPECT_TRUE(readOnly.readOnly);
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
    EXPECT_EQ(files.readPrefix(target.string(), 4096).content, "30\r\n1\r\n");
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

// What a killed save leaves is cleared away at the next save; a user's own files beside the
// settings, whatever their names, survive every save.
TEST_F(PosixFilesTest, ReplaceRemovesOnlyTheLeftoversOfKilledSaves) {
    const fs::path target = root / "tovren.txt";
    write(target, "old");
    const auto make = [this](const std::string& name, bool old) {
        const fs::path path = root / name;
        write(path, "30\r\n");
        if (old) {
            fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(1));
        }
        return path;
    };
    // A process id that no longer runs: a child that has ended and been reaped.
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    ASSERT_GT(child, 0);
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    const std::string gone = std::to_string(child);
    const std::string alive = std::to_string(::getppid());

    const fs::path orphan = make(".tovren.txt.loopster-save." + gone + ".aB3xZ9", false);
    const fs::path oldOrphan = make(".tovren.txt.loopster-save." + alive + ".Q0q0Q0", true);
    // A save still running holds a lock on its file; one just begun may not hold it yet.
    const fs::path locked = make(".tovren.txt.loopster-save." + gone + ".LkLk12", true);
    const int lockFd = ::open(locked.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(lockFd, LOCK_EX | LOCK_NB), 0);
    const fs::path young = make(".tovren.txt.loopster-save." + alive + ".yOuNg1", false);
    // The user's own files, old and with every near miss of the naming, and what is no ordinary
    // file.
    const std::vector<fs::path> others = {
        make("tovren.txt.backup", true),
        make("tovren.txt.BACKUP", true),
        make("tovren.txt.orig01", true),
        make("tovren.txt.before", true),
        make("tovren.txt.aB3xZ9", true),
        make("tovren.txt.loopster-save." + gone + ".aB3xZ9", true),
        make(".tovren.txt.loopster-save." + gone + ".aB3xZ", true),
        make(".tovren.txt.loopster-save." + gone + ".aB3xZ9.1", true),
        make(".tovren.txt.loopster-save.x" + gone + ".aB3xZ9", true),
        make(".other.txt.loopster-save." + gone + ".aB3xZ9", true)};
    fs::create_directory(root / (".tovren.txt.loopster-save." + gone + ".Folder"));
    fs::create_symlink(others[0], root / (".tovren.txt.loopster-save." + gone + ".Linked"));

    ASSERT_FALSE(files.replaceFile(target.string(), "new"));
    ASSERT_FALSE(files.replaceFile(target.string(), "newer"));
    EXPECT_EQ(read(target), "newer");
    EXPECT_FALSE(fs::exists(orphan));
    EXPECT_FALSE(fs::exists(oldOrphan));
    EXPECT_TRUE(fs::exists(locked));
    EXPECT_TRUE(fs::exists(young));
    for (const fs::path& other : others) {
        EXPECT_EQ(read(other), "30\r\n") << other;
    }
    EXPECT_TRUE(fs::is_directory(root / (".tovren.txt.loopster-save." + gone + ".Folder")));
    EXPECT_TRUE(fs::is_symlink(root / (".tovren.txt.loopster-save." + gone + ".Linked")));
    ::close(lockFd);
}

// Renaming over a FIFO or a device would turn it into a plain file and leave its reader with
// nothing; such a target, also at the end of a link, is refused with one line and left as it is.
TEST_F(PosixFilesTest, ReplaceRefusesWhatIsNoRegularFile) {
    const fs::path fifo = root / "pipe.png";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_symlink(fifo, root / "link.png");
    for (const fs::path& path : {fifo, root / "link.png"}) {
        const auto refused = files.replaceFile(path.string(), "x");
        ASSERT_TRUE(refused) << path;
        EXPECT_NE(refused->reason.find("a FIFO, not a regular file"), std::string::npos)
            << refused->reason;
        EXPECT_EQ(refused->reason.find('\n'), std::string::npos);
        EXPECT_TRUE(fs::is_fifo(fifo));
    }
    EXPECT_TRUE(fs::is_symlink(root / "link.png"));
    EXPECT_EQ(entries(root), 2u);

    // A file written in pieces through the buffer arrives whole.
    ReplacementFile file;
    ASSERT_FALSE(file.open((root / "big.bin").string()));
    std::string expected;
    for (int i = 0; i < 5000; ++i) {
        const std::string piece(static_cast<std::size_t>(i % 97 + (i == 2500 ? 200000 : 0)),
                                static_cast<char>('a' + i % 26));
        ASSERT_TRUE(file.write(piece.data(), piece.size()));
        expected += piece;
    }
    EXPECT_FALSE(fs::exists(root / "big.bin"));
    ASSERT_FALSE(file.commit());
    EXPECT_EQ(read(root / "big.bin"), expected);
    EXPECT_EQ(entries(root), 3u);
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

TEST_F(PosixFilesTest, CreateMakesTheFolderButNeverOverwritesAndAFileAppearsWhole) {
    const fs::path marker = root / "state" / "loopster" / "tovren.txt";
    // A writer killed while it writes (here by the file size limit's signal) leaves no file at
    // the path, not an empty one; the next creation clears its temporary away.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit none{0, 0};
        ::setrlimit(RLIMIT_FSIZE, &none);
        PosixFiles inChild;
        static_cast<void>(inChild.createFile(marker.string(), "first"));
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGXFSZ);
    EXPECT_FALSE(fs::exists(marker));

    ASSERT_FALSE(files.createFile(marker.string(), "first"));
    EXPECT_EQ(entries(marker.parent_path()), 1u);
    EXPECT_EQ(read(marker), "first");
    EXPECT_TRUE(files.createFile(marker.string(), "second"));
    EXPECT_EQ(read(marker), "first");

    fs::create_directory(root / "folder");
    EXPECT_TRUE(files.createFile((root / "folder").string(), "x"));
    EXPECT_TRUE(fs::is_directory(root / "folder"));
}

class LocationsTest : public ::testing::Test {
  protected:
    void SetUp() override { ::setenv("HOME", "/home/user", 1); }
    const SavedEnvironment saved{"HOME", "XDG_CONFIG_HOME", "XDG_STATE_HOME"};
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
