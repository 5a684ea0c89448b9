// The pseudo-random sequence: seeded once at start, drawn only by the pattern randomiser.
#pragma once

#include <cstdint>
#include <random>

namespace loopster {

class Random {
  public:
    virtual ~Random() = default;
    virtual void seed(float secondsSinceMidnight) = 0;
    // The next value u with 0 <= u < 1, in single precision.
    virtual float next() = 0;
};

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
