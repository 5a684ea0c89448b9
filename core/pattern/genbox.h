// The parameter sheet: from, to and step of the three curve parameters as decimal integer texts,
// and the two end colours of the pen-colour gradient. A plain record; it never shows itself.
#pragma once

#include <cstdint>
#include <string>

namespace loopster {

struct GenBox {
    // Row 1, pen offset in per cent of the rolling radius: from, to, step.
    std::string Text1 = "0";
    std::string Text2 = "250";
    std::string Text3 = "5";
    // Row 2, start angle in degrees.
    std::string Text4 = "0";
    std::string Text5 = "60";
    std::string Text6 = "30";
    // Row 3, rolling position from -100 (inside) to 100 (outside).
    std::string Text7 = "-100";
    std::string Text8 = "-100";
    std::string Text9 = "0";
    // Gradient start and end colours, red + 256 * green + 65536 * blue; stored unchecked.
    std::int32_t Picture1 = 255;
    std::int32_t Picture2 = 33023;
};

}  // namespace loopster
