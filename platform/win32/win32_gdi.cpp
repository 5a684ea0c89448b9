// gdi32 calls with the core's full-width handles.
#include "platform/win32/win32_gdi.h"

#include "platform/win32/windows_api.h"

#include <cstddef>

namespace loopster {

// The core keeps curve points in the layout of the system's POINT, so Polyline reads them in
// place without a copy.
static_assert(sizeof(CurvePoint) == sizeof(POINT));
static_assert(offsetof(CurvePoint, x) == offsetof(POINT, x));
static_assert(offsetof(CurvePoint, y) == offsetof(POINT, y));
static_assert(sizeof(Handle) == sizeof(HANDLE));

Handle Win32Gdi::CreatePen(int style, int width, std::int32_t colour) {
    return reinterpret_cast<Handle>(::CreatePen(style, width, static_cast<COLORREF>(colour)));
}

Handle Win32Gdi::SelectObject(Handle dc, Handle pen) {
    return reinterpret_cast<Handle>(
        ::SelectObject(reinterpret_cast<HDC>(dc), reinterpret_cast<HGDIOBJ>(pen)));
}

bool Win32Gdi::Polyline(Handle dc, const CurvePoint* points, int count) {
    const auto target = reinterpret_cast<HDC>(dc);
    const bool drawn = ::Polyline(target, reinterpret_cast<const POINT*>(points), count) != FALSE;
    if (drawn && m_observer != nullptr) {
        // The selected pen's own width, so that whoever selected it need not say; a pen that
        // cannot be read is taken as very wide, which only costs clearing more than needed.
        LOGPEN pen{};
        const HGDIOBJ selected = GetCurrentObject(target, OBJ_PEN);
        const int width = GetObjectW(selected, sizeof pen, &pen) == sizeof pen
                              ? static_cast<int>(pen.lopnWidth.x)
                              : 64;
        m_observer->inked(dc, points, count, width);
    }
    return drawn;
}

bool Win32Gdi::DeleteObject(Handle pen) {
    return ::DeleteObject(reinterpret_cast<HGDIOBJ>(pen)) != FALSE;
}

}  // namespace loopster
