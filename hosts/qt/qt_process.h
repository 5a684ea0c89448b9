// The process on Linux: the previous-instance test is an advisory lock on a file in the user's
// runtime folder, which the system releases when the process dies, however it dies; the command
// line is the arguments joined with single blanks; ending flushes the standard streams and exits
// at once, also from inside a Qt event handler.
#pragma once

#include <string>
#include <vector>

#include "seam/process.h"

namespace loopster {

class QtProcess final : public Process {
  public:
    // Takes the arguments before QApplication removes its own options from them.
    QtProcess(int argc, char** argv);

    // Takes the lock on the first call and keeps it for the life of the process.
    bool previousInstance() override;
    std::string commandLine() override { return m_commandLine; }
    [[noreturn]] void endProcess(int exitCode) override;
    void showFatalError(const std::string& message) override;

  private:
    std::string m_commandLine;
    int m_lockFd = -1;
};

// argv[1..] joined with single blanks: "/s", "/p 123", or "" without arguments.
std::string joinArguments(int argc, char** argv);

// Where the instance lock may be, best first: $XDG_RUNTIME_DIR/loopster.lock when that folder
// exists, loopster/instance.lock in the user's cache folder ($XDG_CACHE_HOME or ~/.cache, created
// when needed), and /tmp/loopster-UID.lock, one for each user. The lock is the first of these that
// can be opened as this user's regular file.
std::vector<std::string> instanceLockPaths();

}  // namespace loopster
