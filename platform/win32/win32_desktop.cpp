// Screen metrics, pointer and beep through user32 and gdi32.
#include "platform/win32/win32_desktop.h"

#include "platform/win32/windows_api.h"

namespace loopster {

namespace {

// Twips per pixel as the run-time has always reported it: a whole number taken from the screen's
// logical resolution (15 at 96 dots per inch, 12 at 120, 10 at 144).
double twipsPerPixel(int axis) {
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, axis);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<double>(1440 / dpi) : 15.0;
}

}  // namespace

double Win32Desktop::screenWidthTwips() {
    return GetSystemMetrics(SM_CXSCREEN) * twipsPerPixel(LOGPIXELSX);
}

double Win32Desktop::screenHeightTwips() {
    return GetSystemMetrics(SM_CYSCREEN) * twipsPerPixel(LOGPIXELSY);
}

void Win32Desktop::SetCursorPos(int x, int y) { ::SetCursorPos(x, y); }

void Win32Desktop::beep() { MessageBeep(MB_OK); }

}  // namespace loopster
