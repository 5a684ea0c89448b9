// The desktop on Windows: the primary screen's size in twips, the pointer (put back at the end)
// and the default beep.
#pragma once

#include "seam/desktop.h"

namespace loopster {

class Win32Desktop final : public Desktop {
  public:
    double screenWidthTwips() override;
    double screenHeightTwips() override;
    // Moves the pointer; the first move remembers where it was.
    void SetCursorPos(int x, int y) override;
    void beep() override;

    // Puts the pointer back where it was before the first move, if it was moved.
    void restorePointer();

  private:
    bool m_moved = false;
    int m_originalX = 0;
    int m_originalY = 0;
};

}  // namespace loopster
