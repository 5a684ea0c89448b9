// The desktop on Windows: the primary screen's size in twips, the pointer and the default beep.
#pragma once

#include "seam/desktop.h"

namespace loopster {

class Win32Desktop final : public Desktop {
  public:
    double screenWidthTwips() override;
    double screenHeightTwips() override;
    void SetCursorPos(int x, int y) override;
    void beep() override;
};

}  // namespace loopster
