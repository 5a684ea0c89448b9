// The process and its surroundings: the previous-instance test, the command line, ending the
// process, and reporting a fatal error.
#pragma once

#include <string>

#include "common/error_guard.h"

namespace loopster {

// Ending the process and showing a fatal error come from ProcessExit, which the error guard uses.
class Process : public ProcessExit {
  public:
    // True when another instance of the program is already running.
    virtual bool previousInstance() = 0;
    // The text that follows the program's own name on the command line.
    virtual std::string commandLine() = 0;
};

}  // namespace loopster
