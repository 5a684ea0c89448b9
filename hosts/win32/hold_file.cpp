// A test helper, not shipped: holds a file open without sharing it, as another program may, for
// the given number of seconds. The Wine end-to-end test opens the settings dialog beside it.
//
// Usage: hold_file PATH SECONDS
#include <cstdio>
#include <cstdlib>
#include <string>

#include "hosts/win32/win32_text.h"
#include "hosts/win32/windows_api.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: hold_file PATH SECONDS\n");
        return 2;
    }
    const HANDLE file = CreateFileW(loopster::toWide(argv[1]).c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "hold_file: cannot open %s (error %lu)\n", argv[1], GetLastError());
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    Sleep(static_cast<DWORD>(std::atoi(argv[2])) * 1000);
    CloseHandle(file);
    return 0;
}
