// The pseudo-random sequence: seeded once at start, drawn only by the pattern randomiser.
#pragma once

namespace loopster {

class Random {
  public:
    virtual ~Random() = default;
    virtual void seed(float secondsSinceMidnight) = 0;
    // The next value u with 0 <= u < 1, in single precision.
    virtual float next() = 0;
};

}  // namespace loopster
