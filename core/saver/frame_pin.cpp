// The test switch that holds a pattern and frame still. A file of its own, so that only the
// programs that read the switch link the C library's number parsing.
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "core/saver/render_loop.h"

namespace loopster {

std::optional<FramePin> parseFramePin(const char* value, std::string& problem) {
    if (value == nullptr || value[0] == '\0') {
        return std::nullopt;
    }
    char* end = nullptr;
    errno = 0;
    const float seed = std::strtof(value, &end);
    bool good = end != value && *end == ':' && errno == 0 && std::isfinite(seed);
    long frame = 0;
    if (good) {
        const char* digits = end + 1;
        frame = std::strtol(digits, &end, 10);
        good = end != digits && *end == '\0' && errno == 0 && frame >= 0 && frame <= 32767;
    }
    if (!good) {
        problem = std::string("LOOPSTER_TEST_PIN holds \"") + value +
                  "\", which is not SEED:FRAME; the patterns run as usual";
        return std::nullopt;
    }
    return FramePin{seed, static_cast<std::int16_t>(frame)};
}

}  // namespace loopster
