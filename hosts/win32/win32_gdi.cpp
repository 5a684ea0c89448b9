// gdi32 calls with the core's full-width handles.
#include "hosts/win32/win32_gdi.h"

#include "hosts/win32/windows_api.h"

#include <algorithm>
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

namespace {

// Segments per gdi32 call for a wide pen; see Polyline.
constexpr int kWideRun = 4;

// The width in pixels of the pen selected into `dc`; a pen that cannot be read is taken as very
// wide, which only costs clearing more than needed.
int selectedPenWidth(HDC dc) {
    LOGPEN pen{};
    const HGDIOBJ selected = GetCurrentObject(dc, OBJ_PEN);
    return GetObjectW(selected, sizeof pen, &pen) == sizeof pen ? static_cast<int>(pen.lopnWidth.x)
                                                                : 64;
}

}  // namespace

bool Win32Gdi::Polyline(Handle dc, const CurvePoint* points, int count) {
    const auto target = reinterpret_cast<HDC>(dc);
    const auto* polyline = reinterpret_cast<const POINT*>(points);
    const int width = selectedPenWidth(target);
    bool drawn = true;
    if (width > 1 && count > kWideRun + 1) {
        // Wine draws a wide pen's polyline as one region that grows with every segment and round
        // join, so the cost rises with the square of the length: a dense curve's 480 points took
        // 7 ms a frame, in runs of four segments 0.65 ms. The runs share their end points, where
        // the two round ends of a solid wide pen cover the same disc as its round join would, and
        // on Wine the pixels come out the same.
        for (int first = 0; first + 1 < count; first += kWideRun) {
            const int run = std::min(kWideRun + 1, count - first);
            drawn = ::Polyline(target, polyline + first, run) != FALSE && drawn;
        }
    } else {
        drawn = ::Polyline(target, polyline, count) != FALSE;
    }
    if (drawn && m_observer != nullptr) {
        m_observer->inked(dc, points, count, width);
    }
    return drawn;
}

bool Win32Gdi::DeleteObject(Handle pen) {
    return ::DeleteObject(reinterpret_cast<HGDIOBJ>(pen)) != FALSE;
}

}  // namespace loopster
