// Runs an event handler from inside a window procedure. No exception may unwind through the
// system's frames that called the procedure, so everything is caught here: run-time errors get the
// standard message from runGuarded, anything else a plain message, and both end the process.
#pragma once

#include <exception>
#include <functional>

#include "platform/process.h"
#include "startup/entry.h"

namespace loopster {

inline void guardedCall(Process& process, const std::function<void()>& body) noexcept {
    try {
        runGuarded(process, body);
    } catch (const std::exception& error) {
        process.showFatalError(error.what());
        process.endProcess(1);
    } catch (...) {
        process.showFatalError("Unexpected error");
        process.endProcess(1);
    }
}

}  // namespace loopster
