// The process on Linux.
#include "platform/qt/qt_process.h"

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

#include "platform/posix/posix_environment.h"

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

std::string instanceLockPath() {
    const std::string runtime = absolutePathFromEnvironment("XDG_RUNTIME_DIR");
    std::error_code error;
    if (!runtime.empty() && std::filesystem::is_directory(runtime, error)) {
        return runtime + "/loopster.lock";
    }
    std::string cache = absolutePathFromEnvironment("XDG_CACHE_HOME");
    if (cache.empty()) {
        const std::string home = userHomeFolder();
        if (!home.empty()) {
            cache = home + "/.cache";
        }
    }
    if (!cache.empty()) {
        std::filesystem::create_directories(cache + "/loopster", error);
        if (std::filesystem::is_directory(cache + "/loopster", error)) {
            return cache + "/loopster/instance.lock";
        }
    }
    // Every user shares /tmp, so the lock there carries the user's id: one user's lock file can
    // never keep another user's saver from starting.
    return "/tmp/loopster-" + std::to_string(::getuid()) + ".lock";
}

QtProcess::QtProcess(int argc, char** argv) : m_commandLine(joinArguments(argc, argv)) {}

bool QtProcess::previousInstance() {
    if (m_lockFd >= 0) {
        return false;
    }
    const std::string path = instanceLockPath();
    // Never through a symbolic link, and only a file of this user's: in a shared folder such as
    // /tmp another user could otherwise plant a file that they keep locked.
    m_lockFd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, S_IRUSR | S_IWUSR);
    struct stat info {};
    if (m_lockFd >= 0 &&
        (::fstat(m_lockFd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::getuid())) {
        ::close(m_lockFd);
        m_lockFd = -1;
    }
    if (m_lockFd < 0) {
        // Without a lock file there is no telling; running twice is better than never running.
        return false;
    }
    if (::flock(m_lockFd, LOCK_EX | LOCK_NB) == 0) {
        return false;
    }
    const bool held = errno == EWOULDBLOCK;
    ::close(m_lockFd);
    m_lockFd = -1;
    return held;
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
