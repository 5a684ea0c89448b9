// The process on Linux.
#include "hosts/qt/qt_process.h"

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
    std::string cache = absolutePathFromEnvironment("XDG_CACHE_HOME");
    if (cache.empty()) {
        const std::string home = userHomeFolder();
        if (!home.empty()) {
            cache = home + "/.cache";
        }
    }
    if (!cache.empty()) {
        paths.push_back(cache + "/loopster/instance.lock");
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

QtProcess::QtProcess(int argc, char** argv) : m_commandLine(joinArguments(argc, argv)) {}

bool QtProcess::previousInstance() {
    if (m_lockFd >= 0) {
        return false;
    }
    // The first place that can hold a lock file is the one every instance uses: a runtime folder
    // that cannot be written (or holds something else under the lock's name) must not leave two
    // savers running, so the next place is tried.
    for (const std::string& path : instanceLockPaths()) {
        const int fd = openLockFile(path);
        if (fd < 0) {
            continue;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            m_lockFd = fd;
            return false;
        }
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return held;
    }
    // Without any lock file there is no telling; running twice is better than never running.
    return false;
}

void QtProcess::endProcess(int exitCode) {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    // No destructors and no Qt shutdown: this runs inside Qt's event handlers, and the system
    // releases the window, the lock and everything else.
    std::_Exit(exitCode);
}

void QtProcess::showFatalError(const std::string& message) {
    std::cerr << message << std::endl;
}

}  // namespace loopster
