// Everything the pattern engine keeps for one run, in one object owned by the start-up. Large
// tables live on the heap with the object.
#pragma once

#include "geometry/curve_tracer.h"
#include "pattern/frame_table.h"
#include "pattern/genbox.h"
#include "pattern/pattern_globals.h"

namespace loopster {

struct SaverState {
    PatternGlobals globals;
    GenBox genbox;
    FrameTable frameTable{};
    CurveBuffer curve;
};

}  // namespace loopster
