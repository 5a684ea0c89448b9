// The four drawing calls of the render loop, passed straight to gdi32.
#pragma once

#include "platform/gdi.h"

namespace loopster {

class Win32Gdi final : public Gdi {
public:
    Handle CreatePen(int style, int width, std::int32_t colour) override;
    Handle SelectObject(Handle dc, Handle pen) override;
    bool Polyline(Handle dc, const CurvePoint* points, int count) override;
    bool DeleteObject(Handle pen) override;
};

}  // namespace loopster
