// The saver's promise to the desktop: its windows are covered and drawn at once, or the saver
// ends. Whatever it may wait on before its first frame (the display, a service Qt asks), a
// watchdog ends the process with one line and status 1 when no frame has been shown in time, so
// the instance lock is free and the desktop's locker or blanker can take over.
#pragma once

#include <chrono>

namespace loopster {

// How long the first frame may take before the saver gives up: well under the 5 s in which a
// start that cannot cover the screen must have ended.
inline constexpr std::chrono::milliseconds kFirstFrameLimit{4000};

// Starts the watchdog; called once, as early as possible in saver mode. `shown` runs on the
// drawing thread at the first frame.
void watchFirstFrame(std::chrono::milliseconds limit, void (*shown)() = nullptr);

// A frame reached the screen; the watchdog stands down. Cheap enough to call at every frame.
void frameShown();

}  // namespace loopster
