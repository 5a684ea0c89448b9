// The error guard's catch rules: the standard message for a RunError, the text of any other
// exception, "Unexpected error" for the rest, always exit code 1, and ending the process passes.
#include "common/error_guard.h"

#include <gtest/gtest.h>

#include <new>
#include <optional>
#include <string>
#include <vector>

#include "common/run_error.h"

namespace loopster {
namespace {

class RecordingExit final : public ProcessExit {
  public:
    void showFatalError(const std::string& message) override {
        messages.push_back(message);
        if (failToShow) {
            throw std::bad_alloc();
        }
    }
    [[noreturn]] void endProcess(int exitCode) override {
        ended = exitCode;
        throw ProcessEnded{exitCode};
    }

    std::vector<std::string> messages;
    std::optional<int> ended;
    bool failToShow = false;
};

// Runs the body guarded; returns the exit code the guard ended with, or nothing.
std::optional<int> guarded(RecordingExit& exit, const std::function<void()>& body) {
    try {
        runGuarded(exit, body);
    } catch (const ProcessEnded& ended) {
        return ended.exitCode;
    }
    return std::nullopt;
}

TEST(RunGuarded, EveryKindOfFailureShowsOneMessageAndEndsWithOne) {
    struct Case {
        const char* what;
        std::function<void()> body;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"RunError", [] { throw RunError(ErrorKind::DivisionByZero); },
         "Run-time error '11':\n\nDivision by zero"},
        {"std::exception", [] { throw std::bad_alloc(); }, std::bad_alloc().what()},
        {"anything else", [] { throw 42; }, "Unexpected error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingExit exit;
        EXPECT_EQ(guarded(exit, c.body), 1);
        EXPECT_EQ(exit.messages, std::vector<std::string>{c.message});
    }
}

TEST(RunGuarded, RunsTheBodyAndLetsAnEndedProcessPass) {
    RecordingExit exit;
    bool ran = false;
    EXPECT_EQ(guarded(exit, [&ran] { ran = true; }), std::nullopt);
    EXPECT_TRUE(ran);

    // Ending the process from inside the body is not an error: its own exit code, no message.
    EXPECT_EQ(guarded(exit, [&exit] { exit.endProcess(0); }), 0);
    EXPECT_TRUE(exit.messages.empty());
}

TEST(RunGuarded, AMessageThatCannotBeShownStillEndsTheProcess) {
    RecordingExit exit;
    exit.failToShow = true;
    EXPECT_EQ(guarded(exit, [] { throw RunError(ErrorKind::Overflow); }), 1);
    EXPECT_EQ(exit.messages.size(), 1u);
}

}  // namespace
}  // namespace loopster
