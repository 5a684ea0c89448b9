// The process on Linux: the previous-instance test is advisory locks on files in the user's
// folders, which the system releases when the process dies, however it dies; the command
// line is the arguments joined with single blanks; ending flushes the standard streams and exits
// at once, also from inside an event handler of the toolkit.
#pragma once

#include <string>
#include <vector>

#include "seam/process.h"

namespace loopster {

class PosixProcess final : public Process {
  public:
    // Takes the arguments before QApplication removes its own options from them.
    PosixProcess(int argc, char** argv);

    // Takes the locks on the first call and keeps them for the life of the process.
    bool previousInstance() override;
    std::string commandLine() override { return m_commandLine; }
    [[noreturn]] void endProcess(int exitCode) override;
    void showFatalError(const std::string& message) override;

  private:
    std::string m_commandLine;
    bool m_locked = false;
    // Kept open, and so locked, for the life of the process.
    std::vector<int> m_lockFds;
};

// argv[1..] joined with single blanks: "/s", "/p 123", or "" without arguments.
std::string joinArguments(int argc, char** argv);

// Where the instance locks are: $XDG_RUNTIME_DIR/loopster.lock when that folder exists,
// loopster/instance.lock in $XDG_CACHE_HOME when that is set and in ~/.cache always (the folders
// created when needed), and last /tmp/loopster-UID.lock, one for each user. Each of these that can
// be opened as this user's regular file is locked; /tmp only when none of the others could be.
std::vector<std::string> instanceLockPaths();

}  // namespace loopster
