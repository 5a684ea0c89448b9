// POSIX file operations behind the Files seam. Saving goes through a temporary file in the same
// folder and rename(), which replaces the old file in one step: a crash or a full disk leaves
// either the old settings or the new ones, never a torn file.
#include "platform/qt/posix_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/qt/posix_environment.h"

namespace loopster {

namespace {

std::string parentOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

FileFailure failure(const std::string& what, int error) {
    return FileFailure{what + ": " + std::strerror(error)};
}

// Creates the folder and its missing parents. New folders are private (0700), as the XDG base
// directory rules ask for the folders an application creates.
std::optional<FileFailure> makeFolders(const std::string& folder) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            return std::nullopt;
        }
        return failure("Cannot create the folder " + folder, ENOTDIR);
    }
    if (errno != ENOENT) {
        return failure("Cannot reach the folder " + folder, errno);
    }
    const std::string parent = parentOf(folder);
    if (parent != folder) {
        if (auto parentFailure = makeFolders(parent)) {
            return parentFailure;
        }
    }
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return failure("Cannot create the folder " + folder, errno);
    }
    return std::nullopt;
}

bool writeAll(int fd, const std::string& content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t written = ::write(fd, content.data() + done, content.size() - done);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

// The permission bits a newly created file gets from the user's umask (0666 & ~umask). umask() can
// only be read by setting it, so it is set back at once; the program has a single thread.
mode_t newFileMode() {
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
}

}  // namespace

std::string PosixFiles::lookup(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return {};
    }
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::optional<std::string> PosixFiles::readPrefix(const std::string& path, std::size_t maxBytes) {
    // Non-blocking, so that a FIFO put in the file's place cannot hang the start.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    std::string content(maxBytes, '\0');
    std::size_t done = 0;
    while (done < maxBytes) {
        const ssize_t got = ::read(fd, content.data() + done, maxBytes - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    ::close(fd);
    content.resize(done);
    return content;
}

std::optional<FileFailure> PosixFiles::replaceFile(const std::string& path,
                                                   const std::string& content) {
    if (auto folderFailure = makeFolders(parentOf(path))) {
        return folderFailure;
    }
    std::string temporary = path + ".XXXXXX";
    std::vector<char> name(temporary.begin(), temporary.end());
    name.push_back('\0');
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        return failure("Cannot write in the folder " + parentOf(path), errno);
    }
    temporary = name.data();
    // mkostemp makes the file 0600; the settings keep the old file's permissions, or get the
    // umask's when they are new.
    struct stat old {};
    const mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : newFileMode();
    int error = 0;
    if (::fchmod(fd, mode) != 0 || !writeAll(fd, content) || ::fsync(fd) != 0) {
        error = errno;
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temporary.c_str());
        return failure("Cannot write the file", error);
    }
    return std::nullopt;
}

std::optional<FileFailure> PosixFiles::createFile(const std::string& path,
                                                  const std::string& content) {
    if (auto folderFailure = makeFolders(parentOf(path))) {
        return folderFailure;
    }
    // O_EXCL: an existing file, or anything else at the path, is never touched.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        return failure("Cannot create the file", errno);
    }
    int error = writeAll(fd, content) ? 0 : errno;
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error != 0) {
        // A torn file would be taken as present at every later start.
        ::unlink(path.c_str());
        return failure("Cannot write the file", error);
    }
    return std::nullopt;
}

FileLocations linuxFileLocations() {
    std::string config = absolutePathFromEnvironment("XDG_CONFIG_HOME");
    std::string state = absolutePathFromEnvironment("XDG_STATE_HOME");
    if (config.empty()) {
        config = homeFolder() + "/.config";
    }
    if (state.empty()) {
        state = homeFolder() + "/.local/state";
    }
    return FileLocations{config + "/loopster/tovren.txt", state + "/loopster/tovren.txt"};
}

}  // namespace loopster
