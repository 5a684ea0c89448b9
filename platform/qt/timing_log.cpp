// The timing log on stderr.
#include "platform/qt/timing_log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace loopster {

namespace {

bool enabled() {
    static const bool on = [] {
        const char* value = std::getenv("LOOPSTER_TIMING_LOG");
        return value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0;
    }();
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
