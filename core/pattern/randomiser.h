// Between two animations: the targets become the next start, new targets and a new end colour are
// drawn, one time in five a new gear pair, and the next animation's frame count is returned.
#pragma once

#include <cstdint>

#include "core/pattern/genbox.h"
#include "core/pattern/pattern_globals.h"
#include "seam/random.h"

namespace loopster {

// Draws, in this order: the gear test; x, y, z only when it passes; pen, angle, position targets;
// then one or more colour draws. Returns the frame count, 0 to 80 with the sheet's own values.
std::int16_t NewPattern(GenBox& genbox, PatternGlobals& globals, Random& random);

// A random colour whose red, green and blue parts add up to at most 400.
std::int32_t RandomDarkColor(Random& random);

}  // namespace loopster
