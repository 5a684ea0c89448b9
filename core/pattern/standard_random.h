// The portable random sequence that every host seeds and the pattern randomiser draws from.
#pragma once

#include <cstdint>
#include <random>

#include "seam/random.h"

namespace loopster {

// The generator both executables use: a Mersenne Twister seeded from the seed's bits. A draw takes
// 24 random bits, so every value is exact in single precision and never reaches 1.
class StandardRandom final : public Random {
  public:
    void seed(float secondsSinceMidnight) override;
    float next() override;

  private:
    std::mt19937 m_engine{0};
};

}  // namespace loopster
