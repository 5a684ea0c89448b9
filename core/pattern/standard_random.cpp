// The portable random sequence.
#include "core/pattern/standard_random.h"

#include <bit>

namespace loopster {

void StandardRandom::seed(float secondsSinceMidnight) {
    m_engine.seed(std::bit_cast<std::uint32_t>(secondsSinceMidnight));
}

float StandardRandom::next() {
    const auto bits = static_cast<std::uint32_t>(m_engine() >> 8);
    return static_cast<float>(bits) * 0x1p-24f;
}

}  // namespace loopster
