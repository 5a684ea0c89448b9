// The one way this folder includes <windows.h>. The core's gdi.h declares `PS_SOLID` as a constant,
// which <windows.h> defines as a macro; declaring ours first keeps both usable, since later uses
// of the name expand to the same value 0.
#pragma once

#include "seam/gdi.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
