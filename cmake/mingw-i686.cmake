# Cross-compiles for 32-bit Windows with MinGW-w64: the shipped loopster.scr. SSE2 arithmetic keeps
# the i686 build's rounding identical to the 64-bit builds: x87's 80-bit intermediates would change
# results.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(LOOPSTER_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
