// Model units to pixels.
#include "core/geometry/pixel_mapping.h"

#include "common/numeric.h"

namespace loopster {

void mapToPixels(CurveBuffer& curve, float w, float h, double fillRatio) {
    // The centre is halved in single precision (exact for whole pixel counts); the scale is taken
    // from the width for both axes, so circles stay round on any window shape.
    const double centreX = static_cast<double>(w / 2.0f);
    const double centreY = static_cast<double>(h / 2.0f);
    const double width = static_cast<double>(w);
    for (int j = 0; j <= curve.PointCount; ++j) {
        CurvePoint& point = curve.CurvePoints[static_cast<std::size_t>(j)];
        point.x = toInt32(centreX + (point.x * width / 4000.0) / fillRatio);
        point.y = toInt32(centreY + (point.y * width / 4000.0) / fillRatio);
    }
}

}  // namespace loopster
