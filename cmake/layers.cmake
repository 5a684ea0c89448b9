# The layers of the source tree: every folder that holds C++ files, the folders it may include
# from directly, and the library it builds. A folder may include its own headers and those of
# every folder below it (the dependencies' dependencies too); nothing else. The core libraries take
# their link dependencies from this table, and cmake/check_layers.cmake fails the build when an
# `#include "folder/..."` reaches a folder that is not below the includer. Tests (`*_test.cpp`) and
# the fuzzer (`*_fuzz.cpp`) may also include the fakes.
#
# This file is read both by the configure step and by the check, which runs in script mode.

set(LOOPSTER_LAYERS
    common seam seam/fake
    core/pattern core/geometry core/raster core/saver core/settings core/program
    hosts/posix hosts/x11 hosts/qt hosts/xscreensaver hosts/win32 hosts/web
    tools bench)

# What everything stands on, and the seam: the interfaces the core asks the system through.
set(LOOPSTER_LAYER_common_DEPS "")
set(LOOPSTER_LAYER_seam_DEPS common)
set(LOOPSTER_LAYER_seam/fake_DEPS seam)

# The portable core, from the bottom up.
set(LOOPSTER_LAYER_core/pattern_DEPS common seam)
set(LOOPSTER_LAYER_core/geometry_DEPS common core/pattern)
set(LOOPSTER_LAYER_core/raster_DEPS common seam)
set(LOOPSTER_LAYER_core/saver_DEPS common seam core/pattern core/geometry core/raster)
set(LOOPSTER_LAYER_core/settings_DEPS common seam core/pattern)
set(LOOPSTER_LAYER_core/program_DEPS common seam core/pattern core/geometry core/saver core/settings)

# The hosts, each implementing the seam, and the programs beside them.
set(LOOPSTER_LAYER_hosts/posix_DEPS common seam)
set(LOOPSTER_LAYER_hosts/x11_DEPS common core/raster)
set(LOOPSTER_LAYER_hosts/qt_DEPS core/program hosts/posix hosts/x11)
set(LOOPSTER_LAYER_hosts/xscreensaver_DEPS core/program hosts/posix hosts/x11)
set(LOOPSTER_LAYER_hosts/win32_DEPS core/program core/raster)
set(LOOPSTER_LAYER_hosts/web_DEPS core/program core/raster)
set(LOOPSTER_LAYER_tools_DEPS core/program hosts/qt)
set(LOOPSTER_LAYER_bench_DEPS core/saver hosts/qt)

# What a test or the fuzzer may include beside its folder's own layers.
set(LOOPSTER_TEST_EXTRA_LAYERS seam/fake)

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

# The library of a layer: loopster_ and the folder's own name (loopster_pattern, loopster_raster).
function(loopster_layer_target layer out)
    get_filename_component(name ${layer} NAME)
    set(${out} loopster_${name} PARENT_SCOPE)
endfunction()

# One static library of the core per folder, linked to the libraries of the folders the table puts
# directly below it.
function(loopster_core_library layer)
    loopster_layer_target(${layer} target)
    add_library(${target} STATIC ${ARGN})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    foreach(dep IN LISTS LOOPSTER_LAYER_${layer}_DEPS)
        loopster_layer_target(${dep} dep_target)
        target_link_libraries(${target} PUBLIC ${dep_target})
    endforeach()
    loopster_warnings(${target})
endfunction()
