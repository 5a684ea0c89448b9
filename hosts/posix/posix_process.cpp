// The process on Linux.
#include "hosts/posix/posix_process.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "hosts/posix/posix_environment.h"

namespace loopster {

std::string joinArguments(int argc, char** argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) {
            line += ' ';
        }
        line += argv[i];
    }
    return line;
}

std::vector<std::string> instanceLockPaths() {
    std::vector<std::string> paths;
    const std::string runtime = absolutePathFromEnvironment("XDG_RUNTIME_DIR");
    std::error_code error;
    if (!runtime.empty() && std::filesystem::is_directory(runtime, error)) {
        paths.push_back(runtime + "/loopster.lock");
    }
    const std::string home = userHomeFolder();
    const std::string homeLock = home.empty() ? "" : home + "/.cache/loopster/instance.lock";
    const std::string cache = absolutePathFromEnvironment("XDG_CACHE_HOME");
    if (!cache.empty() && cache + "/loopster/instance.lock" != homeLock) {
        paths.push_back(cache + "/loopster/instance.lock");
    }
    if (!homeLock.empty()) {
        paths.push_back(homeLock);
    }
    // Every user shares /tmp, so the lock there carries the user's id: one user's lock file can
    // never keep another user's saver from starting.
    paths.push_back("/tmp/loopster-" + std::to_string(::getuid()) + ".lock");
    return paths;
}

namespace {

// The lock file at `path`, open, or -1 when it cannot serve: never through a symbolic link, and
// only a regular file of this user's, since in a shared folder such as /tmp another user could
// otherwise plant a file that they keep locked. The folder is created when missing (the runtime
// folder is only ever offered when it exists).
int openLockFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, S_IRUSR | S_IWUSR);
    if (fd < 0 && errno == ENOENT) {
        std::error_code error;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, S_IRUSR | S_IWUSR);
    }
    struct stat info {};
    if (fd >= 0 &&
        (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::getuid())) {
        ::close(fd);
        fd = -1;
    }
    return fd;
}

}  // namespace

PosixProcess::PosixProcess(int argc, char** argv) : m_commandLine(joinArguments(argc, argv)) {}

bool PosixProcess::previousInstance() {
    if (m_locked) {
        return false;
    }
    // Every place that can hold a lock file is locked, not only the first: two starts of one user
    // may see different environments (a session's XDG_RUNTIME_DIR, a shell or a menu without it,
    // another XDG_CACHE_HOME), and the lock in the home folder's cache depends on none of them, so
    // any two instances share at least that one. Whichever is held already means another instance
    // runs. /tmp serves only where nothing else could. Without any lock file there is no telling;
    // running twice is better than never running.
    m_locked = true;
    const std::vector<std::string> paths = instanceLockPaths();
    for (const std::string& path : paths) {
        if (&path == &paths.back() && !m_lockFds.empty()) {
            break;
        }
        const int fd = openLockFile(path);
        if (fd < 0) {
            continue;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            m_lockFds.push_back(fd);
            continue;
        }
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        if (held) {
            return true;
        }
    }
    return false;
}

void PosixProcess::endProcess(int exitCode) {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    // No destructors and no toolkit shutdown: this runs inside event handlers, and the system
    // releases the window, the lock and everything else.
    std::_Exit(exitCode);
}

void PosixProcess::showFatalError(const std::string& message) {
    std::cerr << message << std::endl;
}

}  // namespace loopster
