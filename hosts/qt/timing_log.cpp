// The timing log on stderr.
#include "hosts/qt/timing_log.h"

#include <cstdio>
#include <ctime>

#include "hosts/posix/posix_environment.h"

namespace loopster {

namespace {

bool enabled() {
    static const bool on = environmentFlag("LOOPSTER_TIMING_LOG");
    return on;
}

}  // namespace

void timingLog(const char* event) {
    if (!enabled()) {
        return;
    }
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::fprintf(stderr, "loopster-timing %s %lld%09ld\n", event,
                 static_cast<long long>(now.tv_sec), now.tv_nsec);
}

}  // namespace loopster
