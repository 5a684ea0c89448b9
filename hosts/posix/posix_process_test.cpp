// The POSIX process: the command line as one string, and the instance lock that every environment
// of one user shares.
#include "hosts/posix/posix_process.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "hosts/posix/saved_environment.h"

namespace loopster {
namespace {

TEST(PosixProcessTest, CommandLineIsTheArgumentsJoinedWithSingleBlanks) {
    std::vector<std::string> words = {"loopster", "/p", "123"};
    std::vector<char*> argv;
    for (auto& word : words) {
        argv.push_back(word.data());
    }
    EXPECT_EQ(joinArguments(3, argv.data()), "/p 123");
    EXPECT_EQ(joinArguments(2, argv.data()), "/p");
    EXPECT_EQ(joinArguments(1, argv.data()), "");
    words[1] = "/s ";
    argv[1] = words[1].data();
    EXPECT_EQ(joinArguments(2, argv.data()), "/s ");
}

// One instance per user whatever the environment: a second start with the runtime folder, without
// it, or with another cache folder finds the lock held.
TEST(PosixProcessTest, ASecondInstanceFindsTheLockHeldInEveryEnvironment) {
    const std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("loopster-lock-" + std::to_string(::getpid()));
    const std::filesystem::path runtime = root / "runtime";
    std::filesystem::create_directories(runtime);
    const SavedEnvironment saved{"XDG_RUNTIME_DIR", "XDG_CACHE_HOME", "HOME"};
    saved.unsetAll();
    ::setenv("HOME", (root / "home").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    EXPECT_EQ(instanceLockPaths().front(), (runtime / "loopster.lock").string());

    std::vector<char*> argv{const_cast<char*>("loopster"), nullptr};
    PosixProcess first(1, argv.data());
    PosixProcess second(1, argv.data());
    EXPECT_FALSE(first.previousInstance());
    EXPECT_TRUE(second.previousInstance());
    EXPECT_FALSE(first.previousInstance());

    ::unsetenv("XDG_RUNTIME_DIR");
    PosixProcess withoutRuntime(1, argv.data());
    EXPECT_TRUE(withoutRuntime.previousInstance());
    ::setenv("XDG_CACHE_HOME", (root / "other-cache").c_str(), 1);
    PosixProcess otherCache(1, argv.data());
    EXPECT_TRUE(otherCache.previousInstance());

    std::filesystem::remove_all(root);
}

// A runtime folder that cannot hold the lock (not writable, or something else under its name)
// must not let a second saver run: both fall back to the lock in the cache folder.
TEST(PosixProcessTest, ARuntimeFolderThatCannotHoldTheLockFallsBackToTheCacheFolder) {
    const std::filesystem::path root = std::filesystem::temp_directory_path() /
                                       ("loopster-fallback-" + std::to_string(::getpid()));
    const SavedEnvironment saved{"XDG_RUNTIME_DIR", "XDG_CACHE_HOME", "HOME"};
    ::setenv("HOME", (root / "home").c_str(), 1);
    std::vector<char*> argv{const_cast<char*>("loopster"), nullptr};
    // A folder's mode does not stop root, whom only the folder in the lock's place stops.
    std::vector<bool> cases{false};
    if (::geteuid() != 0) {
        cases.push_back(true);
    }
    for (const bool unwritable : cases) {
        const std::filesystem::path runtime = root / (unwritable ? "read-only" : "blocked");
        std::filesystem::create_directories(runtime);
        if (unwritable) {
            std::filesystem::permissions(
                runtime, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        } else {
            std::filesystem::create_directory(runtime / "loopster.lock");
        }
        const std::filesystem::path cache = root / ("cache-" + std::to_string(unwritable));
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);
        PosixProcess first(1, argv.data());
        PosixProcess second(1, argv.data());
        EXPECT_FALSE(first.previousInstance());
        EXPECT_TRUE(second.previousInstance()) << runtime;
        EXPECT_TRUE(std::filesystem::is_regular_file(cache / "loopster" / "instance.lock"));
        std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    }
    std::filesystem::remove_all(root);
}

TEST(PosixProcessTest, WithoutRuntimeOrCacheFolderEachUserHasALockOfTheirOwn) {
    const SavedEnvironment saved{"XDG_RUNTIME_DIR", "XDG_CACHE_HOME", "HOME"};
    saved.unsetAll();
    // Without $HOME the password database still names the user's own home.
    if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr) {
        EXPECT_EQ(instanceLockPaths().front(),
                  std::string(entry->pw_dir) + "/.cache/loopster/instance.lock");
    }
    // A home that is a plain file has no cache folder: the lock in /tmp is still this user's.
    const std::string perUser = "/tmp/loopster-" + std::to_string(::getuid()) + ".lock";
    const std::filesystem::path plain =
        std::filesystem::temp_directory_path() / ("loopster-home-" + std::to_string(::getpid()));
    std::ofstream(plain) << "";
    ::setenv("HOME", plain.c_str(), 1);
    EXPECT_EQ(instanceLockPaths().back(), perUser);
    std::filesystem::remove(plain);
}

}  // namespace
}  // namespace loopster
