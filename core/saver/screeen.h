// The saver window's exit rules: a key, a mouse button, a click or the third pointer movement
// closes the window, and closing it, by any cause, ends the process at once.
#pragma once

#include <cstdint>

#include "seam/process.h"
#include "seam/saver_window.h"

namespace loopster {

class Screeen final : public SaverWindowEvents {
  public:
    Screeen(SaverWindow& window, Process& process) : m_window(window), m_process(process) {}

    void onKeyDown(int keyCode) override;
    void onMouseDown(int button) override;
    void onClick() override;
    void onMouseMove(float x, float y) override;
    void onClose() override;

    // Pointer-move events received so far; the first two are ignored.
    std::int16_t MoveCount() const { return m_moveCount; }

  private:
    SaverWindow& m_window;
    Process& m_process;
    std::int16_t m_moveCount = 0;
};

}  // namespace loopster
