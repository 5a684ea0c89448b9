// The process for tests: a scripted previous-instance answer and command line; ending the process
// records the exit code and throws ProcessEnded, which unwinds to the test so it can see exactly
// where a run ended.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "seam/fake/call_log.h"
#include "seam/process.h"

namespace loopster {

// Runs `body`, which goes on until something ends the process through a fake; the exit code it
// ended with, or nothing when `body` returned by itself.
template <typename Body>
std::optional<int> exitCodeOf(Body&& body) {
    try {
        body();
    } catch (const ProcessEnded& ended) {
        return ended.exitCode;
    }
    return std::nullopt;
}

class FakeProcess final : public Process {
  public:
    explicit FakeProcess(std::string commandLine = "/s", CallLog* log = nullptr)
        : m_commandLine(std::move(commandLine)), m_log(log) {}

    void setPreviousInstance(bool running) { m_previousInstance = running; }

    bool previousInstance() override {
        record("previousInstance");
        return m_previousInstance;
    }
    std::string commandLine() override {
        record("commandLine");
        return m_commandLine;
    }
    [[noreturn]] void endProcess(int exitCode) override {
        record("endProcess " + std::to_string(exitCode));
        m_exitCode = exitCode;
        throw ProcessEnded{exitCode};
    }
    void showFatalError(const std::string& message) override {
        record("showFatalError");
        m_fatalErrors.push_back(message);
    }

    std::optional<int> exitCode() const { return m_exitCode; }
    const std::vector<std::string>& fatalErrors() const { return m_fatalErrors; }

  private:
    void record(const std::string& call) {
        if (m_log != nullptr) {
            m_log->add(call);
        }
    }

    std::string m_commandLine;
    CallLog* m_log;
    bool m_previousInstance = false;
    std::optional<int> m_exitCode;
    std::vector<std::string> m_fatalErrors;
};

}  // namespace loopster
