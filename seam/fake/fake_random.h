// A scripted random sequence for tests: returns the given values in order, then repeats the last.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

#include "seam/random.h"

namespace loopster {

class FakeRandom final : public Random {
  public:
    FakeRandom() = default;
    explicit FakeRandom(std::vector<float> values) : m_values(std::move(values)) {}

    void seed(float secondsSinceMidnight) override {
        m_seeded = true;
        m_seed = secondsSinceMidnight;
    }
    float next() override {
        ++m_draws;
        if (m_values.empty()) {
            return 0.5f;
        }
        const float value = m_values[m_next < m_values.size() ? m_next : m_values.size() - 1];
        ++m_next;
        return value;
    }

    std::size_t draws() const { return m_draws; }
    bool seeded() const { return m_seeded; }
    float seedValue() const { return m_seed; }

  private:
    std::vector<float> m_values;
    std::size_t m_next = 0;
    std::size_t m_draws = 0;
    bool m_seeded = false;
    float m_seed = 0.0f;
};

}  // namespace loopster
