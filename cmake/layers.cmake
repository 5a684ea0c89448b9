# The layers of the source tree: every folder that holds C++ files, the folders it may include
# from directly, and the library it builds. A folder may include its own headers and those of
# every folder below it (the dependencies' dependencies too); nothing else. The core libraries take
# their link dependencies from this table, and cmake/check_layers.cmake fails the build when an
# `#include "folder/..."` reaches a folder that is not below the includer. Tests (`*_test.cpp`) and
# the fuzzer (`*_fuzz.cpp`) may also include the fakes.
#
# This file is read both by the configure step and by the check, which runs in script mode.

set(LOOPSTER_LAYERS
    common platform pattern geometry display settings_dialog startup
    platform/fake platform/posix platform/x11 platform/qt platform/xscreensaver platform/win32
    tools bench)

# The portable core, from the bottom up.
set(LOOPSTER_LAYER_common_DEPS "")
set(LOOPSTER_LAYER_platform_DEPS common)
set(LOOPSTER_LAYER_pattern_DEPS common platform)
set(LOOPSTER_LAYER_geometry_DEPS common pattern)
set(LOOPSTER_LAYER_display_DEPS common platform pattern geometry)
set(LOOPSTER_LAYER_settings_dialog_DEPS common platform pattern)
set(LOOPSTER_LAYER_startup_DEPS common platform pattern geometry display settings_dialog)

# The platform layers and the programs above the core.
set(LOOPSTER_LAYER_platform/fake_DEPS platform)
set(LOOPSTER_LAYER_platform/posix_DEPS common platform)
set(LOOPSTER_LAYER_platform/x11_DEPS common display platform/posix)
set(LOOPSTER_LAYER_platform/qt_DEPS startup platform/posix platform/x11)
set(LOOPSTER_LAYER_platform/xscreensaver_DEPS platform/qt)
set(LOOPSTER_LAYER_platform/win32_DEPS startup)
set(LOOPSTER_LAYER_tools_DEPS startup platform/qt)
set(LOOPSTER_LAYER_bench_DEPS display platform/qt)

# What a test or the fuzzer may include beside its folder's own layers.
set(LOOPSTER_TEST_EXTRA_LAYERS platform/fake)

# Every layer that `layer` may include from: itself and everything below it.
function(loopster_layers_below layer out)
    set(result ${layer})
    set(pending ${LOOPSTER_LAYER_${layer}_DEPS})
    while(pending)
        list(POP_FRONT pending next)
        if(NOT next IN_LIST result)
            list(APPEND result ${next})
            list(APPEND pending ${LOOPSTER_LAYER_${next}_DEPS})
        endif()
    endwhile()
    set(${out} ${result} PARENT_SCOPE)
endfunction()

# One static library of the core per folder, named loopster_<folder>, linked to the libraries of
# the folders the table puts directly below it.
function(loopster_core_library layer)
    set(target loopster_${layer})
    add_library(${target} STATIC ${ARGN})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    foreach(dep IN LISTS LOOPSTER_LAYER_${layer}_DEPS)
        target_link_libraries(${target} PUBLIC loopster_${dep})
    endforeach()
    loopster_warnings(${target})
endfunction()
