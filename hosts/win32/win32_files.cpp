// File operations through kernel32's wide calls. Paths arrive as UTF-8 and may use either slash.
#include "hosts/win32/win32_files.h"

#include "hosts/win32/windows_api.h"

#include <algorithm>
#include <utility>

#include "hosts/win32/win32_text.h"

namespace loopster {

namespace {

bool isSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// The user-facing reason for the last error of a file call.
FileFailure failureFrom(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
            return {"File not found"};
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
            return {"Path not found"};
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return {kFileInUse};
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
            return {"Permission denied"};
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return {"File already exists"};
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return {"Disk full"};
        default:
            break;
    }
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring reason = length > 0 ? std::wstring(text, length) : L"Device I/O error";
    LocalFree(text);
    while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r' ||
                               reason.back() == L'.' || reason.back() == L' ')) {
        reason.pop_back();
    }
    return {toUtf8(reason)};
}

// Creates every missing folder above the file. Failures are left for the file's own open to
// report, which names the real cause (a missing drive, a file where a folder should be).
void createParentFolders(const std::wstring& path) {
    std::size_t start = 0;
    if (path.size() >= 2 && path[1] == L':') {
        start = 2;
    }
    for (std::size_t i = start + 1; i < path.size(); ++i) {
        if (isSeparator(path[i]) && !isSeparator(path[i - 1])) {
            CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
        }
    }
}

// Writes the whole content to a new or truncated file and flushes it to the disk.
std::optional<FileFailure> writeWhole(const std::wstring& path, const std::string& content,
                                      DWORD disposition) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return failureFrom(GetLastError());
    }
    DWORD written = 0;
    const bool ok =
        WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
        written == content.size() && FlushFileBuffers(file);
    const DWORD error = GetLastError();
    CloseHandle(file);
    if (!ok) {
        DeleteFileW(path.c_str());
        return failureFrom(error);
    }
    return std::nullopt;
}

// The file a save replaces. MoveFileExW would replace a symbolic link itself and leave the file it
// points to with the old values, so for a link the temporary file goes beside the link's final
// target and is renamed there. A link that cannot be resolved (a dangling one) is replaced.
std::wstring finalTarget(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return path;
    }
    const HANDLE file =
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return path;
    }
    constexpr DWORD kFlags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
    std::wstring resolved(MAX_PATH, L'\0');
    DWORD length = GetFinalPathNameByHandleW(file, resolved.data(),
                                             static_cast<DWORD>(resolved.size()), kFlags);
    if (length >= resolved.size()) {
        // Too long for the buffer: the length asked for includes the terminating null.
        resolved.assign(length, L'\0');
        length = GetFinalPathNameByHandleW(file, resolved.data(),
                                           static_cast<DWORD>(resolved.size()), kFlags);
    }
    CloseHandle(file);
    if (length == 0 || length >= resolved.size()) {
        return path;
    }
    resolved.resize(length);
    return resolved;
}

}  // namespace

FileLocations win32FileLocations() {
    return {"c:\\temp\\tovren.txt", "c:\\windows\\temp\\tovren.txt"};
}

std::string Win32Files::lookup(const std::string& path) {
    const std::wstring wide = toWide(path);
    // FindFirstFileW would treat these as a pattern; an exact path never matches one.
    if (wide.empty() || wide.find_first_of(L"*?") != std::wstring::npos) {
        return {};
    }
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(wide.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return {};
    }
    FindClose(search);
    constexpr DWORD kNotOrdinary =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if ((found.dwFileAttributes & kNotOrdinary) != 0) {
        return {};
    }
    return toUtf8(found.cFileName);
}

FileRead Win32Files::readPrefix(const std::string& path, std::size_t maxBytes) {
    const std::wstring wide = toWide(path);
    const auto unreadable = [](const FileFailure& reason) {
        return FileRead{std::nullopt, reason, false};
    };
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return unreadable({kFileIsFolder});
    }
    const HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            return {};
        }
        // Another program holding the file open without sharing it is the common case here.
        return unreadable(failureFrom(error));
    }
    std::string content(maxBytes, '\0');
    std::size_t filled = 0;
    bool ok = true;
    while (filled < maxBytes) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(maxBytes - filled, 65536));
        if (!ReadFile(file, content.data() + filled, want, &got, nullptr)) {
            ok = false;
            break;
        }
        if (got == 0) {
            break;
        }
        filled += got;
    }
    const DWORD readError = GetLastError();
    CloseHandle(file);
    if (!ok) {
        return unreadable(failureFrom(readError));
    }
    content.resize(filled);
    const bool readOnly =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    return FileRead{std::move(content), std::nullopt, readOnly};
}

std::optional<FileFailure> Win32Files::replaceFile(const std::string& path,
                                                   const std::string& content) {
    createParentFolders(toWide(path));
    const std::wstring target = finalTarget(toWide(path));
    // Beside the target, so the rename stays on one volume and cannot half-happen, under a name no
    // user gives a file of their own (a plain ".new" would overwrite theirs).
    const std::wstring temporary = target + kSaveTemporarySuffix;
    if (auto failure = writeWhole(temporary, content, CREATE_ALWAYS)) {
        return failure;
    }
    if (!MoveFileExW(temporary.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = GetLastError();
        DeleteFileW(temporary.c_str());
        return failureFrom(error);
    }
    return std::nullopt;
}

std::optional<FileFailure> Win32Files::createFile(const std::string& path,
                                                  const std::string& content) {
    const std::wstring target = toWide(path);
    createParentFolders(target);
    return writeWhole(target, content, CREATE_NEW);
}

}  // namespace loopster
