// The desktop on Qt: the primary screen's size in twips, the pointer and the beep.
#pragma once

#include "seam/desktop.h"

namespace loopster {

class QtDesktop final : public Desktop {
  public:
    // Pixels times the whole twips per pixel of the screen's logical resolution (15 at 96 dpi).
    double screenWidthTwips() override;
    double screenHeightTwips() override;
    // Held to the desktop's pixels, so twips park the pointer in the bottom-right corner.
    void SetCursorPos(int x, int y) override;
    void beep() override;
};

// Whether this session lets a client move the pointer. Wayland does not (Qt only warns there), so
// the saver windows hide the pointer instead of parking it.
bool pointerCanBeParked();

}  // namespace loopster
