// Files on Windows: the exact-path lookup with FindFirstFileW, bounded reads, and replacement by a
// temporary file beside the target that MoveFileExW renames over it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "seam/files.h"

namespace loopster {

// The fixed places of the two files: the settings in c:\temp and the marker in c:\windows\temp.
FileLocations win32FileLocations();

// Appended to the settings file's name for the temporary file a save writes and renames over it.
inline constexpr wchar_t kSaveTemporarySuffix[] = L".loopster-save";

class Win32Files final : public Files {
  public:
    std::string lookup(const std::string& path) override;
    FileRead readPrefix(const std::string& path, std::size_t maxBytes) override;
    std::optional<FileFailure> replaceFile(const std::string& path,
                                           const std::string& content) override;
    std::optional<FileFailure> createFile(const std::string& path,
                                          const std::string& content) override;
};

}  // namespace loopster
