// The timing log for measuring the saver: when LOOPSTER_TIMING_LOG is set to a non-empty value
// other than 0, each frame's drawing and showing is written to stderr as "loopster-timing <event>
// <wall-clock nanoseconds>", so a script can line it up with the moment it started the process.
// It changes nothing the saver does.
#pragma once

namespace loopster {

void timingLog(const char* event);

}  // namespace loopster
