// The desktop around the program: the screen's size, the pointer, the default beep.
#pragma once

namespace loopster {

class Desktop {
  public:
    virtual ~Desktop() = default;
    // The screen's size in twips (1/1440 inch).
    virtual double screenWidthTwips() = 0;
    virtual double screenHeightTwips() = 0;
    // Moves the pointer; the system clamps it to the screen.
    virtual void SetCursorPos(int x, int y) = 0;
    // The system's default beep.
    virtual void beep() = 0;
};

}  // namespace loopster
