# Cross-compiles for 32-bit Windows with MinGW-w64: the shipped loopster.scr. SSE2 arithmetic keeps
# the i686 build's rounding identical to the 64-bit builds: x87's 80-bit intermediates would change
# results. Everything is linked statically, so the saver needs no DLL beyond the system's own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -ffp-contract=off -ffunction-sections -fdata-sections")
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -ffp-contract=off -ffunction-sections -fdata-sections")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--gc-sections")
# Release executables carry no symbols: the size target is under 300 KB.
set(CMAKE_EXE_LINKER_FLAGS_MINSIZEREL_INIT "-s")
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
# The tests run the Windows executables through Wine on a private prefix and display; where this
# machine cannot execute 32-bit code they end as skipped (see hosts/win32/tests/wine_machine.sh).
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_CURRENT_LIST_DIR}/../hosts/win32/tests/wine_run.sh ${CMAKE_BINARY_DIR}/wineprefix)
