# What both MinGW-w64 toolchain files share; each sets LOOPSTER_MINGW_TRIPLET first. Everything is
# linked statically, so the saver needs no DLL beyond the system's own, and SSE2 arithmetic keeps
# every build's rounding the same.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${LOOPSTER_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LOOPSTER_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${LOOPSTER_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${LOOPSTER_MINGW_TRIPLET})
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
# The tests run the Windows executables through Wine on a private prefix and display; each build
# ends them as skipped where it is not the one this machine runs (hosts/win32/tests/wine_machine.sh).
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_CURRENT_LIST_DIR}/../hosts/win32/tests/wine_run.sh ${CMAKE_BINARY_DIR}/wineprefix)
