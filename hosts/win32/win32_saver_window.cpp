// The saver window's creation, back buffer, painting and input messages.
#include "hosts/win32/win32_saver_window.h"

#include "common/error_guard.h"

#include <cstring>

namespace loopster {

namespace {

constexpr wchar_t kClassName[] = L"loopster.screeen";

// Pointer coordinates in a mouse message are signed 16-bit values (negative on a monitor left of
// or above the primary one).
float pointerCoordinate(LPARAM lParam, int shift) {
    return static_cast<float>(
        static_cast<std::int16_t>(static_cast<std::uint16_t>((lParam >> shift) & 0xFFFF)));
}

}  // namespace

Win32SaverWindow::~Win32SaverWindow() {
    if (m_window != nullptr) {
        // Forgotten first, so the messages of its destruction get the default handling: a
        // window let go with its monitor must not end the saver.
        const HWND window = m_window;
        m_window = nullptr;
        DestroyWindow(window);
    }
    if (m_buffer != nullptr) {
        SelectObject(m_buffer, m_initialBitmap);
        DeleteDC(m_buffer);
    }
    if (m_bitmap != nullptr) {
        DeleteObject(m_bitmap);
    }
}

void Win32SaverWindow::ensureCreated() {
    if (m_window != nullptr) {
        return;
    }
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &Win32SaverWindow::windowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);

    // Created at the screen's full size while still hidden, so the first pattern is already mapped
    // to the size it is shown at.
    const bool placed =
        m_placement.right > m_placement.left && m_placement.bottom > m_placement.top;
    const RECT area =
        placed ? m_placement
               : RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    m_window = CreateWindowExW(WS_EX_TOPMOST, kClassName, L"", WS_POPUP, area.left, area.top,
                               area.right - area.left, area.bottom - area.top, nullptr, nullptr,
                               instance, this);
    const HDC screen = GetDC(m_window);
    m_buffer = CreateCompatibleDC(screen);
    ReleaseDC(m_window, screen);
    resizeBuffer();
}

void Win32SaverWindow::resizeBuffer() {
    RECT client{};
    GetClientRect(m_window, &client);
    const int width = client.right > 0 ? client.right : 1;
    const int height = client.bottom > 0 ? client.bottom : 1;
    if (m_bitmap != nullptr && width == m_width && height == m_height) {
        return;
    }
    const HDC screen = GetDC(m_window);
    const HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(m_window, screen);
    const HGDIOBJ previous = SelectObject(m_buffer, bitmap);
    if (m_bitmap == nullptr) {
        m_initialBitmap = previous;
    } else {
        DeleteObject(m_bitmap);
    }
    m_bitmap = bitmap;
    m_width = width;
    m_height = height;
    m_damage.resize(width, height);
    fillBuffer();
    // The new buffer is shown whole.
    InvalidateRect(m_window, nullptr, FALSE);
}

void Win32SaverWindow::fillBuffer() {
    const RECT all{0, 0, m_width, m_height};
    const HBRUSH brush = CreateSolidBrush(m_backColor);
    FillRect(m_buffer, &all, brush);
    DeleteObject(brush);
    m_filledWith = m_backColor;
    m_damage.forgetInked();
}

HRGN Win32SaverWindow::regionOf(const std::vector<DamageRect>& rects) {
    if (rects.empty()) {
        return nullptr;
    }
    // One call builds the region from the whole list: RGNDATA is a header followed directly by
    // the rectangles, here laid out in a vector of RECTs whose first two hold the header.
    static_assert(sizeof(RGNDATAHEADER) % sizeof(RECT) == 0);
    constexpr std::size_t kHeader = sizeof(RGNDATAHEADER) / sizeof(RECT);
    m_regionData.resize(kHeader + rects.size());
    RGNDATAHEADER header{};
    header.dwSize = sizeof header;
    header.iType = RDH_RECTANGLES;
    header.nCount = static_cast<DWORD>(rects.size());
    header.nRgnSize = static_cast<DWORD>(rects.size() * sizeof(RECT));
    const DamageRect all = DamageTracker::bounds(rects);
    header.rcBound = RECT{all.left, all.top, all.right, all.bottom};
    std::memcpy(m_regionData.data(), &header, sizeof header);
    for (std::size_t j = 0; j < rects.size(); ++j) {
        const DamageRect& rect = rects[j];
        m_regionData[kHeader + j] = RECT{rect.left, rect.top, rect.right, rect.bottom};
    }
    return ExtCreateRegion(nullptr, static_cast<DWORD>(m_regionData.size() * sizeof(RECT)),
                           reinterpret_cast<const RGNDATA*>(m_regionData.data()));
}

void Win32SaverWindow::invalidateChanged() {
    const HRGN region = regionOf(m_damage.takeChanged());
    if (region != nullptr) {
        InvalidateRgn(m_window, region, FALSE);
        DeleteObject(region);
    }
}

int Win32SaverWindow::scaleHeight() {
    ensureCreated();
    RECT client{};
    GetClientRect(m_window, &client);
    return client.bottom;
}

int Win32SaverWindow::scaleWidth() {
    ensureCreated();
    RECT client{};
    GetClientRect(m_window, &client);
    return client.right;
}

void Win32SaverWindow::setBackColor(std::int32_t colour) {
    ensureCreated();
    m_backColor = static_cast<COLORREF>(colour) & 0x00FFFFFF;
}

void Win32SaverWindow::show() {
    ensureCreated();
    if (!IsWindowVisible(m_window)) {
        ShowWindow(m_window, SW_SHOW);
        SetForegroundWindow(m_window);
        SetFocus(m_window);
    }
    UpdateWindow(m_window);
}

Handle Win32SaverWindow::hDC() {
    ensureCreated();
    return reinterpret_cast<Handle>(m_buffer);
}

void Win32SaverWindow::cls() {
    ensureCreated();
    if (m_filledWith == m_backColor) {
        const HRGN inked = regionOf(m_damage.takeInked());
        if (inked != nullptr) {
            const HBRUSH brush = CreateSolidBrush(m_backColor);
            FillRgn(m_buffer, inked, brush);
            DeleteObject(brush);
            DeleteObject(inked);
        }
    } else {
        fillBuffer();
        m_damage.addChanged(DamageRect{0, 0, m_width, m_height});
    }
    // The frame that follows is drawn into the buffer before the loop pumps messages again, so the
    // paint that this schedules shows the finished frame, never the cleared one.
    invalidateChanged();
}

void Win32SaverWindow::inked(Handle dc, const CurvePoint* points, int count, int penWidth) {
    if (m_buffer == nullptr || dc != reinterpret_cast<Handle>(m_buffer)) {
        return;
    }
    m_damage.addPolyline(points, count, penWidth);
    invalidateChanged();
}

void Win32SaverWindow::place(int left, int top, int width, int height) {
    m_placement = RECT{left, top, left + width, top + height};
    if (m_window != nullptr && width > 0 && height > 0) {
        // WM_SIZE gives the back buffer the new size.
        SetWindowPos(m_window, HWND_TOPMOST, left, top, width, height, SWP_NOACTIVATE);
    }
}

void Win32SaverWindow::close() {
    ensureCreated();
    SendMessageW(m_window, WM_CLOSE, 0, 0);
}

LRESULT CALLBACK Win32SaverWindow::windowProc(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<Win32SaverWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || self->m_window != window) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->handleMessage(message, wParam, lParam);
}

LRESULT Win32SaverWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    SaverWindowEvents* handler = m_handler;
    switch (message) {
        case WM_ERASEBKGND:
            // The paint covers the whole window from the buffer; erasing first would flicker.
            return 1;
        case WM_PAINT: {
            // The paint's device context clips to the update region, the tiles that changed (or
            // an uncovered part of the window), so the copy of the box around it copies only them.
            PAINTSTRUCT paint{};
            const HDC target = BeginPaint(m_window, &paint);
            const RECT& area = paint.rcPaint;
            BitBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top,
                   m_buffer, area.left, area.top, SRCCOPY);
            EndPaint(m_window, &paint);
            return 0;
        }
        case WM_SIZE:
            // A new size takes effect in the drawing with the next pattern, which reads it.
            resizeBuffer();
            return 0;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            if (handler != nullptr) {
                const int key = static_cast<int>(wParam);
                runGuarded(m_process, [handler, key] { handler->onKeyDown(key); });
            }
            return 0;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_XBUTTONDOWN:
            if (handler != nullptr) {
                // The buttons as the run-time numbers them: left 1, right 2, middle 4.
                const int button = message == WM_LBUTTONDOWN   ? 1
                                   : message == WM_RBUTTONDOWN ? 2
                                   : message == WM_MBUTTONDOWN ? 4
                                                               : 8;
                runGuarded(m_process, [handler, button] { handler->onMouseDown(button); });
            }
            return message == WM_XBUTTONDOWN ? TRUE : 0;
        case WM_MOUSEWHEEL:
        case WM_MOUSEHWHEEL:
            // A turn of the wheel ends the saver like a button; it has no number of its own.
            if (handler != nullptr) {
                runGuarded(m_process, [handler] { handler->onMouseDown(0); });
            }
            return 0;
        case WM_LBUTTONUP:
            if (handler != nullptr) {
                runGuarded(m_process, [handler] { handler->onClick(); });
            }
            return 0;
        case WM_MOUSEMOVE:
            if (handler != nullptr) {
                const float x = pointerCoordinate(lParam, 0);
                const float y = pointerCoordinate(lParam, 16);
                runGuarded(m_process, [handler, x, y] { handler->onMouseMove(x, y); });
            }
            return 0;
        case WM_CLOSE:
            if (handler != nullptr) {
                runGuarded(m_process, [handler] { handler->onClose(); });
            }
            // Only a handler that lets the close go on gets here; without one, closing the saver
            // still ends it.
            m_process.endProcess(0);
        default:
            break;
    }
    return DefWindowProcW(m_window, message, wParam, lParam);
}

}  // namespace loopster
