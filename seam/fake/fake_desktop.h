// The desktop for tests: a screen size in twips, the pointer's last position, a beep counter.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "seam/desktop.h"
#include "seam/fake/call_log.h"

namespace loopster {

class FakeDesktop final : public Desktop {
  public:
    explicit FakeDesktop(CallLog* log = nullptr, double widthTwips = 28800.0,
                         double heightTwips = 16200.0)
        : m_log(log), m_widthTwips(widthTwips), m_heightTwips(heightTwips) {}

    double screenWidthTwips() override { return m_widthTwips; }
    double screenHeightTwips() override { return m_heightTwips; }
    void SetCursorPos(int x, int y) override {
        if (m_log != nullptr) {
            m_log->add("SetCursorPos " + std::to_string(x) + " " + std::to_string(y));
        }
        m_cursor = std::pair{x, y};
    }
    void beep() override { ++m_beeps; }

    std::optional<std::pair<int, int>> cursor() const { return m_cursor; }
    int beeps() const { return m_beeps; }

  private:
    CallLog* m_log;
    double m_widthTwips;
    double m_heightTwips;
    std::optional<std::pair<int, int>> m_cursor;
    int m_beeps = 0;
};

}  // namespace loopster
