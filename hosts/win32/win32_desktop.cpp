// Screen metrics, pointer and beep through user32 and gdi32.
#include "hosts/win32/win32_desktop.h"

#include "common/twips.h"
#include "hosts/win32/windows_api.h"

namespace loopster {

namespace {

// The screen's logical resolution along one axis (LOGPIXELSX or LOGPIXELSY).
double screenDpi(int axis) {
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, axis);
    ReleaseDC(nullptr, screen);
    return dpi;
}

}  // namespace

double Win32Desktop::screenWidthTwips() {
    return GetSystemMetrics(SM_CXSCREEN) * twipsPerPixel(screenDpi(LOGPIXELSX));
}

double Win32Desktop::screenHeightTwips() {
    return GetSystemMetrics(SM_CYSCREEN) * twipsPerPixel(screenDpi(LOGPIXELSY));
}

void Win32Desktop::SetCursorPos(int x, int y) {
    POINT original{};
    if (!m_moved && GetCursorPos(&original)) {
        m_moved = true;
        m_originalX = original.x;
        m_originalY = original.y;
    }
    ::SetCursorPos(x, y);
}

void Win32Desktop::restorePointer() {
    if (m_moved) {
        m_moved = false;
        ::SetCursorPos(m_originalX, m_originalY);
    }
}

void Win32Desktop::beep() {
    MessageBeep(MB_OK);
}

}  // namespace loopster
