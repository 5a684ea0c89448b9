// POSIX file operations behind the Files seam. Saving goes through a temporary file in the same
// folder and rename(), which replaces the old file in one step: a crash or a full disk leaves
// either the old settings or the new ones, never a torn file.
#include "platform/posix/posix_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <string_view>
#include <vector>

#include "platform/posix/posix_environment.h"

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

// mkstemp's six letters or digits after the file's name and a dot.
constexpr std::size_t kTemporarySuffixLength = 6;

// A temporary file older than this is no longer being created. A save holds a lock on its
// temporary file from a moment after creating it until the rename; the age covers that moment.
constexpr std::time_t kStaleTemporarySeconds = 5;

// The file a save replaces. A settings file that is a symbolic link (as dotfile managers leave
// them) keeps its link: the file at the end of the chain of links is replaced. A relative link
// counts from the link's own folder; a dangling one names the file to create.
std::string followLinks(std::string path) {
    // The kernel's own limit on links followed in one lookup; a longer chain is a loop.
    for (int hop = 0; hop < 40; ++hop) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return path;
        }
        std::vector<char> target(PATH_MAX);
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) {
            return path;
        }
        const std::string next(target.data(), static_cast<std::size_t>(length));
        path = next.front() == '/' ? next : parentOf(path) + "/" + next;
    }
    return path;
}

bool isTemporaryName(std::string_view name, std::string_view fileName) {
    if (name.size() != fileName.size() + 1 + kTemporarySuffixLength ||
        !name.starts_with(fileName) || name[fileName.size()] != '.') {
        return false;
    }
    for (const char c : name.substr(fileName.size() + 1)) {
        const bool letterOrDigit =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!letterOrDigit) {
            return false;
        }
    }
    return true;
}

// A save killed between writing its temporary file and renaming it leaves that file behind. The
// next save removes such files of its own naming in the target's folder: ordinary files of this
// user, older than a few seconds and not locked by a save still running.
void removeStaleTemporaries(const std::string& target) {
    const std::string folder = parentOf(target);
    const std::size_t slash = target.find_last_of('/');
    const std::string fileName = slash == std::string::npos ? target : target.substr(slash + 1);
    DIR* const listing = ::opendir(folder.c_str());
    if (listing == nullptr) {
        return;
    }
    const std::time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(listing)) {
        if (!isTemporaryName(entry->d_name, fileName)) {
            continue;
        }
        const std::string path = folder + "/" + entry->d_name;
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
            info.st_uid != ::geteuid() || now - info.st_mtime < kStaleTemporarySeconds) {
            continue;
        }
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            // A save gives its temporary file at least the owner's read and write bits, so one
            // the owner cannot open is no save in progress: older versions made them, copying a
            // settings file's mode of 000.
            if (errno == EACCES) {
                ::unlink(path.c_str());
            }
            continue;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            ::unlink(path.c_str());
        }
        ::close(fd);
    }
    ::closedir(listing);
}

// Makes the rename itself durable: until the folder is on the disk, a power loss can bring back
// the old file. A file system that cannot sync folders has nothing to sync, so failures are
// ignored; the new content is already on the disk.
void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
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
    const std::string target = followLinks(path);
    removeStaleTemporaries(target);
    // Beside the file that is replaced, so the rename stays within one file system.
    std::string temporary = target + ".XXXXXX";
    std::vector<char> name(temporary.begin(), temporary.end());
    name.push_back('\0');
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        return failure("Cannot write in the folder " + parentOf(target), errno);
    }
    temporary = name.data();
    // Held until the rename, so that a concurrent save leaves this file alone.
    ::flock(fd, LOCK_EX | LOCK_NB);
    // mkostemp makes the file 0600; the settings keep the old file's permissions, or get the
    // umask's when they are new. The owner can always read and write them: a file saved without
    // those bits would read as missing at every later start.
    struct stat old {};
    const mode_t kept = ::stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : newFileMode();
    const auto mode = static_cast<mode_t>(kept | S_IRUSR | S_IWUSR);
    int error = 0;
    if (::fchmod(fd, mode) != 0 || !writeAll(fd, content) || ::fsync(fd) != 0) {
        error = errno;
    }
    if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temporary.c_str());
    }
    // The content is on the disk already, so closing can no longer lose it.
    ::close(fd);
    if (error != 0) {
        return failure("Cannot write the file", error);
    }
    syncFolder(parentOf(target));
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
