// The program-name stripping of the Windows command line, for the starts the system makes.
#include "hosts/win32/win32_command_line.h"

#include <gtest/gtest.h>

#include <string>

namespace loopster {
namespace {

TEST(CommandLine, QuotedProgramPathWithBlanks) {
    EXPECT_EQ(argumentsAfterProgramName(LR"("C:\Program Files\loopster.scr" /s)"), L"/s");
}

TEST(CommandLine, UnquotedProgramName) {
    EXPECT_EQ(argumentsAfterProgramName(LR"(C:\WINDOWS\SysWOW64\loopster.scr /c:123)"), L"/c:123");
}

TEST(CommandLine, QuotesInsideTheNameOnlyGroup) {
    EXPECT_EQ(argumentsAfterProgramName(LR"(C:\"Program Files"\loopster.scr /p 1234)"), L"/p 1234");
}

TEST(CommandLine, BlanksAfterTheNameAreSkippedButTrailingOnesKept) {
    EXPECT_EQ(argumentsAfterProgramName(L"loopster.scr \t  /s "), L"/s ");
}

TEST(CommandLine, NothingAfterTheName) {
    EXPECT_EQ(argumentsAfterProgramName(L"loopster.scr"), L"");
    EXPECT_EQ(argumentsAfterProgramName(LR"("C:\x y\loopster.scr")"), L"");
    EXPECT_EQ(argumentsAfterProgramName(L""), L"");
}

TEST(CommandLine, SwitchGluedToAQuotedName) {
    EXPECT_EQ(argumentsAfterProgramName(LR"("loopster.scr"/s)"), L"");
    EXPECT_EQ(argumentsAfterProgramName(LR"("loopster.scr" /S)"), L"/S");
}

TEST(CommandLine, SettingsOwnerIsTheDecimalHandleAfterC) {
    EXPECT_EQ(settingsOwnerOf(L"/c:65814"), 65814u);
    EXPECT_EQ(settingsOwnerOf(L"/c 65814"), 65814u);
    for (const wchar_t* none : {L"/c", L"/c:", L"/c:12x", L"/c:-5", L"/s", L"/p 123", L"/cx123",
                                L"/c:99999999999999999999999"}) {
        EXPECT_EQ(settingsOwnerOf(none), 0u) << testing::PrintToString(std::wstring(none));
    }
}

}  // namespace
}  // namespace loopster
