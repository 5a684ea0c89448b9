# Strict warnings for every target of the project. LOOPSTER_WERROR turns them into errors; the
# presets switch it on, so CI fails on any warning.
option(LOOPSTER_WERROR "Treat warnings as errors" OFF)

function(loopster_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Wold-style-cast
        -Wnon-virtual-dtor -Woverloaded-virtual -Wsuggest-override)
    # GCC 12 reports false -Wrestrict overlaps inside std::string assignments at -O2
    # (GCC bug 105329); the warning says nothing about our code.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        target_compile_options(${target} PRIVATE -Wno-restrict)
    endif()
    if(LOOPSTER_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
