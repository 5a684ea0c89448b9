// What the saver does when the C++ run-time gives up (an exception that escapes a noexcept
// function, for instance). Every handler already catches its own errors, so this is a last resort.
//
// GCC's default handler prints the exception's demangled type to stderr, which a GUI executable
// does not have, and it links the whole demangler: about 75 KB of the 32-bit saver, a quarter of
// its size. Defining the handler here keeps the library's copy, and the demangler, out of the link.
#include <cstdlib>
#include <exception>

#include "hosts/win32/windows_api.h"

namespace __gnu_cxx {

void __verbose_terminate_handler() {
    MessageBoxW(nullptr, L"Unexpected error", L"loopster",
                MB_OK | MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST);
    std::abort();
}

}  // namespace __gnu_cxx
