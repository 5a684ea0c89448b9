# Cross-compiles for 64-bit Windows with MinGW-w64: the build that the Wine tests run on machines
# whose kernel does not execute 32-bit code, where the shipped i686 build cannot run. Same sources
# and flags as the shipped i686 build (SSE2 is the x86_64 baseline).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(LOOPSTER_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
