// File access as the program needs it: the exact-path lookup of an ordinary file, bounded reads,
// whole-file replacement that never loses the old content, and creating a new small file.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace loopster {

// Why a file operation failed, worded for the user ("Permission denied", "No such directory").
struct FileFailure {
    std::string reason;
};

// What reading the start of a file found: its bytes, or that it is missing, or why a file that is
// there could not be read.
struct FileRead {
    // At most the bytes asked for; nothing when the file is missing or could not be read.
    std::optional<std::string> content;
    // Set when something is at the path but could not be read, worded to follow "could not be
    // read: ". Every platform says "it is in use by another program" for a file another program
    // holds (a sharing violation on Windows), and "it is a folder" for a folder of that name.
    std::optional<FileFailure> unreadable;
    // The file was read, and its owner may not write it (no write permission for the owner on
    // POSIX, the read-only attribute on Windows).
    bool readOnly = false;
};

// The reasons every platform words alike.
inline constexpr const char* kFileInUse = "it is in use by another program";
inline constexpr const char* kFileIsFolder = "it is a folder";

// Where this platform keeps the settings file and the marker file that the settings dialog writes
// at its first load. An empty marker path means no marker at all.
struct FileLocations {
    std::string settingsFile;
    std::string markerFile;
};

class Files {
  public:
    virtual ~Files() = default;
    // The directory lookup of one exact path among ordinary files (no folders, no hidden or system
    // files): the file's name when it exists, otherwise an empty string.
    virtual std::string lookup(const std::string& path) = 0;
    // Reads at most `maxBytes` from the start of the file, or says why it could not.
    virtual FileRead readPrefix(const std::string& path, std::size_t maxBytes) = 0;
    // Replaces the file's whole content: written beside it and renamed over it, creating the
    // folder when missing. On failure the old file is untouched and the reason is returned.
    virtual std::optional<FileFailure> replaceFile(const std::string& path,
                                                   const std::string& content) = 0;
    // Creates a new file with the content, creating the folder when missing. Never touches a file
    // that already exists (that is a failure too). On failure, the reason.
    virtual std::optional<FileFailure> createFile(const std::string& path,
                                                  const std::string& content) = 0;
};

}  // namespace loopster
