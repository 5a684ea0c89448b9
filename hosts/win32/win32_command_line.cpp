// The program-name stripping rule of the Windows command line.
#include "hosts/win32/win32_command_line.h"

#include <cstddef>

namespace loopster {

namespace {

bool isBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

}  // namespace

std::wstring_view argumentsAfterProgramName(std::wstring_view commandLine) {
    std::size_t i = 0;
    bool quoted = false;
    while (i < commandLine.size()) {
        const wchar_t c = commandLine[i];
        if (c == L'"') {
            quoted = !quoted;
        } else if (!quoted && isBlank(c)) {
            break;
        }
        ++i;
    }
    while (i < commandLine.size() && isBlank(commandLine[i])) {
        ++i;
    }
    return commandLine.substr(i);
}

}  // namespace loopster
