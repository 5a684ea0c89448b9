# Cross-compiles for 64-bit Windows with MinGW-w64: the build that the Wine tests run on machines
# whose kernel does not execute 32-bit code, where the shipped i686 build cannot run. Same sources
# and flags as the shipped i686 build (SSE2 is the x86_64 baseline).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -ffp-contract=off -ffunction-sections -fdata-sections")
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -ffp-contract=off -ffunction-sections -fdata-sections")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--gc-sections")
set(CMAKE_EXE_LINKER_FLAGS_MINSIZEREL_INIT "-s")
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
# The tests run the Windows executables through Wine on a private prefix and display; where the
# i686 build runs, they end as skipped (see hosts/win32/tests/wine_machine.sh).
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_CURRENT_LIST_DIR}/../hosts/win32/tests/wine_run.sh ${CMAKE_BINARY_DIR}/wineprefix)
