// The argument text as the saver's start-up wants it: what follows the program's own name on the
// process command line. Kept free of <windows.h> so that the rule is testable on its own.
#pragma once

#include <cstdint>
#include <string_view>

namespace loopster {

// Strips the program name from a full command line following the C run-time's rule for the first
// argument: quotes toggle a quoted run (so `"C:\Program Files\x.scr" /s` and
// `C:\"Program Files"\x.scr /s` both name one program) and there are no backslash escapes; the
// name ends at the first blank or tab outside quotes. The blanks after the name are skipped too;
// everything after them, trailing blanks included, is returned unchanged.
std::wstring_view argumentsAfterProgramName(std::wstring_view commandLine);

// The window that a settings start names as its owner: the decimal handle in `/c:HWND` (the form
// the screen-saver settings use) or `/c HWND`. 0 when there is none or it is not a plain number
// that fits a handle.
std::uintptr_t settingsOwnerOf(std::wstring_view arguments);

}  // namespace loopster
