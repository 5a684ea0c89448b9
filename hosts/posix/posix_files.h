// Files on Linux and other POSIX systems, and where loopster keeps its two files there: the
// settings in the XDG config folder, the dialog's marker in the XDG state folder. ReplacementFile
// is how every file loopster writes on Linux (the settings, the lab's pictures) gets into place.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "seam/files.h"

namespace loopster {

// A file written whole or not at all. The content goes, through a buffer, to a temporary file
// beside the target, which replaces the target in one rename once it is complete and on the disk; a
// failure or a destructor before commit() removes the temporary and leaves the target untouched.
// A target that is a symbolic link keeps its link: the file at the end of the chain is replaced.
// A target that exists but is not a regular file (a device, a FIFO, a socket, a folder) is refused
// before anything is written. The temporary is a hidden file whose name no user picks,
// ".NAME.loopster-save.PID.XXXXXX"; opening clears away those a killed writer left beside the same
// target, and nothing else.
class ReplacementFile {
  public:
    ReplacementFile() = default;
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Checks the target and creates the temporary. The folder must exist.
    std::optional<FileFailure> open(const std::string& path);
    // False once anything has failed; the reason is kept for commit().
    bool write(const char* data, std::size_t size);
    // Puts the file in place; on failure the target is untouched and the reason is returned. With
    // `replace` false the file only goes where nothing is yet (a hard link, never a rename), so an
    // existing file is never touched and a new one appears whole or not at all.
    std::optional<FileFailure> commit(bool replace = true);
    // True once a write has failed; commit() then gives the reason.
    bool failed() const { return m_error != 0; }
    // The file that is replaced, with the links followed.
    const std::string& target() const { return m_target; }

  private:
    bool flush();
    void discard();

    std::string m_target;
    std::string m_temporary;
    std::string m_buffer;
    int m_fd = -1;
    int m_error = 0;
};

class PosixFiles final : public Files {
  public:
    std::string lookup(const std::string& path) override;
    FileRead readPrefix(const std::string& path, std::size_t maxBytes) override;
    std::optional<FileFailure> replaceFile(const std::string& path,
                                           const std::string& content) override;
    std::optional<FileFailure> createFile(const std::string& path,
                                          const std::string& content) override;
};

// $XDG_CONFIG_HOME/loopster/tovren.txt and $XDG_STATE_HOME/loopster/tovren.txt, with the XDG
// defaults ~/.config and ~/.local/state when a variable is unset, empty or not an absolute path.
FileLocations linuxFileLocations();

}  // namespace loopster
