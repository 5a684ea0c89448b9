// The four drawing calls of the render loop, passed straight to gdi32. A window that shows only
// what changed learns from here what each polyline drew.
#pragma once

#include "seam/gdi.h"

namespace loopster {

// Told of every polyline drawn: its device context, its points as passed (in pixels, possibly far
// outside the bitmap) and the width in pixels of the pen it was drawn with.
class InkObserver {
  public:
    virtual ~InkObserver() = default;
    virtual void inked(Handle dc, const CurvePoint* points, int count, int penWidth) = 0;
};

class Win32Gdi final : public Gdi {
  public:
    Win32Gdi() = default;
    explicit Win32Gdi(InkObserver& observer) : m_observer(&observer) {}

    Handle CreatePen(int style, int width, std::int32_t colour) override;
    Handle SelectObject(Handle dc, Handle pen) override;
    bool Polyline(Handle dc, const CurvePoint* points, int count) override;
    bool DeleteObject(Handle pen) override;

  private:
    InkObserver* m_observer = nullptr;
};

}  // namespace loopster
