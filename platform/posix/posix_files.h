// Files on Linux and other POSIX systems, and where loopster keeps its two files there: the
// settings in the XDG config folder, the dialog's marker in the XDG state folder.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "platform/files.h"

namespace loopster {

class PosixFiles final : public Files {
  public:
    std::string lookup(const std::string& path) override;
    std::optional<std::string> readPrefix(const std::string& path, std::size_t maxBytes) override;
    std::optional<FileFailure> replaceFile(const std::string& path,
                                           const std::string& content) override;
    std::optional<FileFailure> createFile(const std::string& path,
                                          const std::string& content) override;
};

// $XDG_CONFIG_HOME/loopster/tovren.txt and $XDG_STATE_HOME/loopster/tovren.txt, with the XDG
// defaults ~/.config and ~/.local/state when a variable is unset, empty or not an absolute path.
FileLocations linuxFileLocations();

}  // namespace loopster
