// The portable random sequence.
#include "core/pattern/standard_random.h"

#include <cstring>

namespace loopster {

void StandardRandom::seed(float secondsSinceMidnight) {
    // The seed's bits, copied rather than bit_cast: the browser build's library (libc++ 14) has
    // no std::bit_cast.
    static_assert(sizeof(float) == sizeof(std::uint32_t));
    std::uint32_t bits = 0;
    std::memcpy(&bits, &secondsSinceMidnight, sizeof bits);
    m_engine.seed(bits);
}

float StandardRandom::next() {
    const auto bits = static_cast<std::uint32_t>(m_engine() >> 8);
    return static_cast<float>(bits) * 0x1p-24f;
}

}  // namespace loopster
