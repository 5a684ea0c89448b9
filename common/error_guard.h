// The one guard around everything that can fail fatally: Main, and every event handler that Qt or
// Win32 calls. A fatal error shows its message and ends the process with exit code 1; nothing,
// whatever its type, unwinds out of the guard into the window system's event dispatch.
#pragma once

#include <functional>
#include <string>

namespace loopster {

// What the guard does with a fatal error: show its message, then end the process. The platform's
// Process provides both.
class ProcessExit {
  public:
    virtual ~ProcessExit() = default;
    // Shows a fatal error's message to the user (a message box on Windows, stderr on Linux).
    virtual void showFatalError(const std::string& message) = 0;
    // Ends the process at once with the exit code. The real implementations do not return; the
    // test fake records the call and throws ProcessEnded so the test can see where the run ended.
    [[noreturn]] virtual void endProcess(int exitCode) = 0;
};

// How a process that must not really end (the tests' fake) unwinds instead of ending. It is the
// one exception the guard lets pass, and deliberately not a std::exception, so that no catch of the
// program's own errors takes it for one. The real platforms never throw it.
struct ProcessEnded {
    int exitCode;
};

// Runs `body`. A RunError shows the run-time's standard message, any other std::exception (out of
// memory, for instance) its own text, and anything else "Unexpected error"; each then ends the
// process with exit code 1. Ending the process from inside `body` is not an error.
void runGuarded(ProcessExit& exit, const std::function<void()>& body);

}  // namespace loopster
