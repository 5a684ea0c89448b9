// The process services on Windows: the previous-instance test with a named mutex, the command line
// from GetCommandLineW, ending the process and the fatal-error message box.
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "seam/process.h"

namespace loopster {

class Win32Process final : public Process {
  public:
    bool previousInstance() override;
    std::string commandLine() override;
    // Ends the process, after the work set by setBeforeEnd.
    [[noreturn]] void endProcess(int exitCode) override;
    void showFatalError(const std::string& message) override;

    // What to undo before the process ends (it must not end the process itself).
    void setBeforeEnd(std::function<void()> work) { m_beforeEnd = std::move(work); }

  private:
    std::function<void()> m_beforeEnd;
};

}  // namespace loopster
