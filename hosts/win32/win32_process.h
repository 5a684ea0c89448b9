// The process services on Windows: the previous-instance test with a named mutex, the command line
// from GetCommandLineW, ending the process and the fatal-error message box.
#pragma once

#include <string>

#include "seam/process.h"

namespace loopster {

class Win32Process final : public Process {
  public:
    bool previousInstance() override;
    std::string commandLine() override;
    [[noreturn]] void endProcess(int exitCode) override;
    void showFatalError(const std::string& message) override;
};

}  // namespace loopster
