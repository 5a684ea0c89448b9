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
    // Reads at most `maxBytes` from the start of the file; nothing when it cannot be read.
    virtual std::optional<std::string> readPrefix(const std::string& path,
                                                  std::size_t maxBytes) = 0;
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
