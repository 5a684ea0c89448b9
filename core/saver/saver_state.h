// Everything the pattern engine keeps for one run, in one object owned by the start-up. Large
// tables live on the heap with the object.
#pragma once

#include "core/geometry/curve_tracer.h"
#include "core/pattern/frame_table.h"
#include "core/pattern/genbox.h"
#include "core/pattern/pattern_globals.h"

namespace loopster {

struct SaverState {
    PatternGlobals globals;
    GenBox genbox;
    FrameTable frameTable{};
    CurveBuffer curve;
};

}  // namespace loopster
