// The process and its surroundings: the previous-instance test, the command line, ending the
// process, and reporting a fatal error.
#pragma once

#include <string>

namespace loopster {

class Process {
public:
    virtual ~Process() = default;
    // True when another instance of the program is already running.
    virtual bool previousInstance() = 0;
    // The text that follows the program's own name on the command line.
    virtual std::string commandLine() = 0;
    // Ends the process at once with the exit code. The real implementations do not return; the
    // test fake records the call and throws ProcessEnded so the test can see where the run ended.
    [[noreturn]] virtual void endProcess(int exitCode) = 0;
    // Shows a fatal error's message to the user (a message box on Windows, stderr on Linux).
    virtual void showFatalError(const std::string& message) = 0;
};

}  // namespace loopster
