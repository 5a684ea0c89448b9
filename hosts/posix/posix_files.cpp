// POSIX file operations behind the Files seam. Saving goes through a temporary file in the same
// folder and rename(), which replaces the old file in one step: a crash or a full disk leaves
// either the old file or the new one, never a torn file.
#include "hosts/posix/posix_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <string_view>
#include <utility>
#include <vector>

#include "hosts/posix/posix_environment.h"

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
    const bool inUse = error == EBUSY || error == ETXTBSY;
    return FileFailure{what + ": " + (inUse ? std::string(kFileInUse) : std::strerror(error))};
}

// Why a file could not be read, worded as on every platform for the causes they share.
std::string readReason(int error) {
    switch (error) {
        case EBUSY:
        case ETXTBSY:
            return kFileInUse;
        case EISDIR:
            return kFileIsFolder;
        case EACCES:
        case EPERM:
            return "permission denied";
        default:
            return std::strerror(error);
    }
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

bool writeAll(int fd, const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t written = ::write(fd, data + done, size - done);
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

// What makes a temporary file unmistakably a save's: hidden, the target's name, this marker, the
// writer's process id and mkstemp's six letters or digits.
constexpr std::string_view kTemporaryMarker = ".loopster-save.";
constexpr std::size_t kRandomLength = 6;

// A temporary file this old has lost its writer even when a process of the same id runs now (ids
// are reused). A live save holds a lock on its file from a moment after creating it until the
// rename, so age only matters for that moment.
constexpr std::time_t kStaleTemporarySeconds = 60;

// Big enough that the lab's animations, which come in pieces of a few hundred bytes, cost few
// system calls.
constexpr std::size_t kWriteBuffer = 64 * 1024;

bool isLetterOrDigit(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The process id in the name when `name` is exactly a save's temporary file for `fileName`.
std::optional<pid_t> temporaryWriter(std::string_view name, std::string_view fileName) {
    if (!name.starts_with('.')) {
        return std::nullopt;
    }
    name.remove_prefix(1);
    if (!name.starts_with(fileName)) {
        return std::nullopt;
    }
    name.remove_prefix(fileName.size());
    if (!name.starts_with(kTemporaryMarker)) {
        return std::nullopt;
    }
    name.remove_prefix(kTemporaryMarker.size());
    const std::size_t dot = name.find('.');
    if (dot == std::string_view::npos || dot == 0 || dot > 10 ||
        name.size() != dot + 1 + kRandomLength) {
        return std::nullopt;
    }
    long long pid = 0;
    for (const char c : name.substr(0, dot)) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        pid = pid * 10 + (c - '0');
    }
    for (const char c : name.substr(dot + 1)) {
        if (!isLetterOrDigit(c)) {
            return std::nullopt;
        }
    }
    if (pid <= 0 || pid > INT_MAX) {
        return std::nullopt;
    }
    return static_cast<pid_t>(pid);
}

bool processGone(pid_t pid) {
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

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

// Why a file in the target's place cannot be replaced: renaming over a device or a FIFO would turn
// it into a plain file, and whoever reads it would get nothing.
std::optional<FileFailure> refuseUnlessRegular(const std::string& target) {
    struct stat info {};
    if (::lstat(target.c_str(), &info) != 0) {
        // Missing is fine: the file is created. Anything else shows when the folder is written.
        return std::nullopt;
    }
    const mode_t type = info.st_mode & S_IFMT;
    const char* kind = nullptr;
    switch (type) {
        case S_IFREG:
            return std::nullopt;
        case S_IFDIR:
            kind = "a directory";
            break;
        case S_IFCHR:
        case S_IFBLK:
            kind = "a device";
            break;
        case S_IFIFO:
            kind = "a FIFO";
            break;
        case S_IFSOCK:
            kind = "a socket";
            break;
        case S_IFLNK:
            return failure("Cannot write " + target, ELOOP);
        default:
            kind = "not a regular file";
            break;
    }
    return FileFailure{"Cannot write " + target + ": it is " + kind +
                       ", not a regular file; it was left as it is"};
}

// A writer killed between creating its temporary file and renaming it leaves that file behind. The
// next save beside the same target removes such files: exactly of a save's naming, ordinary files
// of this user, whose writer is gone (or which are too old to have one), and not locked by a save
// still running. Nothing else in the folder is touched, whatever its name.
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
        const std::optional<pid_t> writer = temporaryWriter(entry->d_name, fileName);
        if (!writer || *writer == ::getpid()) {
            continue;
        }
        const std::string path = folder + "/" + entry->d_name;
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
            info.st_uid != ::geteuid()) {
            continue;
        }
        if (!processGone(*writer) && now - info.st_mtime < kStaleTemporarySeconds) {
            continue;
        }
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
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

FileRead PosixFiles::readPrefix(const std::string& path, std::size_t maxBytes) {
    const auto unreadable = [](const std::string& reason) {
        return FileRead{std::nullopt, FileFailure{reason}, false};
    };
    // Non-blocking, so that a FIFO put in the file's place cannot hang the start.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return {};
        }
        return unreadable(readReason(errno));
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const int error = errno;
        ::close(fd);
        if (S_ISDIR(info.st_mode)) {
            return unreadable(kFileIsFolder);
        }
        return unreadable(info.st_mode != 0 ? "it is not a regular file" : readReason(error));
    }
    std::string content(maxBytes, '\0');
    std::size_t done = 0;
    while (done < maxBytes) {
        const ssize_t got = ::read(fd, content.data() + done, maxBytes - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            const int error = errno;
            ::close(fd);
            return unreadable(readReason(error));
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    ::close(fd);
    content.resize(done);
    return FileRead{std::move(content), std::nullopt, (info.st_mode & S_IWUSR) == 0};
}

ReplacementFile::~ReplacementFile() {
    discard();
}

void ReplacementFile::discard() {
    if (m_fd >= 0) {
        ::unlink(m_temporary.c_str());
        ::close(m_fd);
        m_fd = -1;
    }
}

std::optional<FileFailure> ReplacementFile::open(const std::string& path) {
    discard();
    m_error = 0;
    m_buffer.clear();
    m_target = followLinks(path);
    if (auto refused = refuseUnlessRegular(m_target)) {
        return refused;
    }
    removeStaleTemporaries(m_target);
    // Beside the file that is replaced, so the rename stays within one file system.
    const std::size_t slash = m_target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : parentOf(m_target);
    const std::string fileName = slash == std::string::npos ? m_target : m_target.substr(slash + 1);
    std::string name = folder + "/." + fileName + std::string(kTemporaryMarker) +
                       std::to_string(::getpid()) + "." + std::string(kRandomLength, 'X');
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        return failure("Cannot write " + m_target, errno);
    }
    m_fd = fd;
    m_temporary = name;
    // Held until the rename, so that a concurrent save leaves this file alone.
    ::flock(m_fd, LOCK_EX | LOCK_NB);
    m_buffer.reserve(kWriteBuffer);
    return std::nullopt;
}

bool ReplacementFile::flush() {
    if (m_error == 0 && !writeAll(m_fd, m_buffer.data(), m_buffer.size())) {
        m_error = errno;
    }
    m_buffer.clear();
    return m_error == 0;
}

bool ReplacementFile::write(const char* data, std::size_t size) {
    if (m_fd < 0 && m_error == 0) {
        m_error = EBADF;
    }
    if (m_error != 0) {
        return false;
    }
    if (m_buffer.size() + size > kWriteBuffer && !flush()) {
        return false;
    }
    if (size >= kWriteBuffer) {
        if (!writeAll(m_fd, data, size)) {
            m_error = errno;
        }
        return m_error == 0;
    }
    m_buffer.append(data, size);
    return true;
}

std::optional<FileFailure> ReplacementFile::commit(bool replace) {
    if (m_fd < 0) {
        return failure("Cannot write " + m_target, m_error != 0 ? m_error : EBADF);
    }
    flush();
    // mkostemp makes the file 0600; the file keeps the old file's permissions, or gets the
    // umask's when it is new. The owner can always read and write it: a settings file saved
    // without those bits would read as missing at every later start.
    struct stat old {};
    const mode_t kept = ::stat(m_target.c_str(), &old) == 0 ? (old.st_mode & 07777) : newFileMode();
    const auto mode = static_cast<mode_t>(kept | S_IRUSR | S_IWUSR);
    if (m_error == 0 && (::fchmod(m_fd, mode) != 0 || ::fsync(m_fd) != 0)) {
        m_error = errno;
    }
    // Checked again just before the rename: the target may have changed since open().
    if (m_error == 0) {
        if (auto refused = refuseUnlessRegular(m_target)) {
            discard();
            return refused;
        }
    }
    if (m_error == 0 && replace && ::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        m_error = errno;
    }
    if (m_error == 0 && !replace) {
        if (::link(m_temporary.c_str(), m_target.c_str()) != 0) {
            m_error = errno;
        } else {
            ::unlink(m_temporary.c_str());
        }
    }
    if (m_error != 0) {
        discard();
        return failure("Cannot write " + m_target, m_error);
    }
    // The content is on the disk already, so closing can no longer lose it.
    ::close(m_fd);
    m_fd = -1;
    syncFolder(parentOf(m_target));
    return std::nullopt;
}

namespace {

// Writes the content whole beside `path`, then renames it over the path (`replace`) or links it
// into place, which fails on anything already there. Either way a process killed at any moment
// leaves the old file or none, or the whole new one, never an empty or torn file.
std::optional<FileFailure> writeWhole(const std::string& path, const std::string& content,
                                      bool replace) {
    if (auto folderFailure = makeFolders(parentOf(path))) {
        return folderFailure;
    }
    ReplacementFile file;
    if (auto openFailure = file.open(path)) {
        return openFailure;
    }
    file.write(content.data(), content.size());
    return file.commit(replace);
}

}  // namespace

std::optional<FileFailure> PosixFiles::replaceFile(const std::string& path,
                                                   const std::string& content) {
    return writeWhole(path, content, true);
}

std::optional<FileFailure> PosixFiles::createFile(const std::string& path,
                                                  const std::string& content) {
    return writeWhole(path, content, false);
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
