// The full-screen saver window as the render loop sees it, and the events it delivers. The window
// is created, hidden, at its first use; the event rules that end the saver live in display/.
#pragma once

#include <cstdint>

#include "seam/gdi.h"

namespace loopster {

// Receives the window's input events. Handlers run only while the render loop waits for events.
class SaverWindowEvents {
  public:
    virtual ~SaverWindowEvents() = default;
    virtual void onKeyDown(int keyCode) = 0;
    virtual void onMouseDown(int button) = 0;
    virtual void onClick() = 0;
    // Pointer position in the window's pixels.
    virtual void onMouseMove(float x, float y) = 0;
    // The window is being closed, by any cause.
    virtual void onClose() = 0;
};

class SaverWindow {
  public:
    virtual ~SaverWindow() = default;
    // Where the window delivers its events; set before the window is first used.
    virtual void setEventHandler(SaverWindowEvents* handler) = 0;
    // The drawing area in pixels.
    virtual int scaleHeight() = 0;
    virtual int scaleWidth() = 0;
    virtual void setBackColor(std::int32_t colour) = 0;
    virtual void show() = 0;
    // The device context to draw on (a back buffer that the window shows in one step).
    virtual Handle hDC() = 0;
    // Clears the drawing area to the background colour.
    virtual void cls() = 0;
    // Asks the window to close; its close event ends the process.
    virtual void close() = 0;
};

}  // namespace loopster
