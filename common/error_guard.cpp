// The fatal-error guard.
#include "common/error_guard.h"

#include <exception>

namespace loopster {

namespace {

// Showing the message is best effort: a message that cannot be shown (no memory left for it, say)
// must not keep the process from ending.
void endWithMessage(ProcessExit& exit, const char* message) {
    try {
        exit.showFatalError(message);
    } catch (const ProcessEnded&) {
        throw;
    } catch (...) {
    }
    exit.endProcess(1);
}

}  // namespace

void runGuarded(ProcessExit& exit, const std::function<void()>& body) {
    try {
        body();
    } catch (const ProcessEnded&) {
        throw;
    } catch (const std::exception& error) {
        // RunError's text is the standard message, "Run-time error '6':\n\nOverflow".
        endWithMessage(exit, error.what());
    } catch (...) {
        endWithMessage(exit, "Unexpected error");
    }
}

}  // namespace loopster
