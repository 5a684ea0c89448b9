// The program-name stripping rule of the Windows command line.
#include "hosts/win32/win32_command_line.h"

#include <cstddef>
#include <limits>

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

std::uintptr_t settingsOwnerOf(std::wstring_view arguments) {
    if (!arguments.starts_with(L"/c") || arguments.size() < 4 ||
        (arguments[2] != L':' && !isBlank(arguments[2]))) {
        return 0;
    }
    std::uintptr_t handle = 0;
    for (const wchar_t c : arguments.substr(3)) {
        if (c < L'0' || c > L'9') {
            return 0;
        }
        const auto digit = static_cast<std::uintptr_t>(c - L'0');
        if (handle > (std::numeric_limits<std::uintptr_t>::max() - digit) / 10) {
            return 0;
        }
        handle = handle * 10 + digit;
    }
    return handle;
}

}  // namespace loopster
