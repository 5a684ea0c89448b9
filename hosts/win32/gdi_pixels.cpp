// Draws frames with the real gdi32, exactly as the saver's Windows build draws them (its own
// drawing calls, on a memory device context over a 32-bit DIB section), and writes out which
// pixels each one inked, for the Linux build to compare its own pixels with.
//
// Usage: gdi_pixels IN OUT
// IN holds one frame a line: width height pen-width colour count x0 y0 x1 y1 ..., the colour as
// red + 256 * green + 65536 * blue. OUT gets, for each frame, a 32-bit little-endian count of
// pixels that are neither black nor the pen's colour, then one bit a pixel, rows top to bottom,
// set where the pen's colour is (lowest bit first). Exit status 0, or 1 with a message on stderr.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "hosts/win32/win32_gdi.h"
#include "hosts/win32/windows_api.h"

namespace {

using loopster::CurvePoint;
using loopster::Handle;

struct Frame {
    int width = 0;
    int height = 0;
    int penWidth = 1;
    std::int32_t colour = 0;
    std::vector<CurvePoint> points;
};

bool readFrame(const std::string& line, Frame& frame) {
    std::istringstream in(line);
    int count = 0;
    if (!(in >> frame.width >> frame.height >> frame.penWidth >> frame.colour >> count) ||
        frame.width <= 0 || frame.height <= 0 || count < 0) {
        return false;
    }
    frame.points.resize(static_cast<std::size_t>(count));
    for (CurvePoint& point : frame.points) {
        if (!(in >> point.x >> point.y)) {
            return false;
        }
    }
    return true;
}

// The frame's pixels as the system draws them, 0x00RRGGBB, rows top to bottom.
bool draw(const Frame& frame, std::vector<std::uint32_t>& pixels) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = frame.width;
    info.bmiHeader.biHeight = -frame.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HDC dc = CreateCompatibleDC(nullptr);
    const HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dc == nullptr || bitmap == nullptr || bits == nullptr) {
        return false;
    }
    const HGDIOBJ previousBitmap = SelectObject(dc, bitmap);
    const std::size_t size =
        static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height);
    std::fill_n(static_cast<std::uint32_t*>(bits), size, 0u);

    loopster::Win32Gdi gdi;
    const auto handle = reinterpret_cast<Handle>(dc);
    const Handle pen = gdi.CreatePen(PS_SOLID, frame.penWidth, frame.colour);
    const Handle previousPen = gdi.SelectObject(handle, pen);
    gdi.Polyline(handle, frame.points.data(), static_cast<int>(frame.points.size()));
    GdiFlush();
    pixels.assign(static_cast<const std::uint32_t*>(bits),
                  static_cast<const std::uint32_t*>(bits) + size);

    gdi.SelectObject(handle, previousPen);
    gdi.DeleteObject(pen);
    SelectObject(dc, previousBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: gdi_pixels IN OUT\n";
        return 1;
    }
    std::ifstream in(argv[1]);
    std::ofstream out(argv[2], std::ios::binary);
    if (!in || !out) {
        std::cerr << "gdi_pixels: cannot open " << (in ? argv[2] : argv[1]) << '\n';
        return 1;
    }
    std::string line;
    std::vector<std::uint32_t> pixels;
    std::vector<unsigned char> mask;
    int frames = 0;
    while (std::getline(in, line)) {
        if (line.empty()) {
            continue;
        }
        Frame frame;
        if (!readFrame(line, frame)) {
            std::cerr << "gdi_pixels: frame " << frames + 1 << " cannot be read\n";
            return 1;
        }
        if (!draw(frame, pixels)) {
            std::cerr << "gdi_pixels: no bitmap for frame " << frames + 1 << '\n';
            return 1;
        }
        const auto value = static_cast<std::uint32_t>(frame.colour);
        const std::uint32_t ink =
            ((value & 0xFFu) << 16) | (value & 0xFF00u) | ((value >> 16) & 0xFFu);
        std::uint32_t strays = 0;
        mask.assign((pixels.size() + 7) / 8, 0);
        for (std::size_t j = 0; j < pixels.size(); ++j) {
            if (pixels[j] == ink) {
                mask[j / 8] = static_cast<unsigned char>(mask[j / 8] | (1u << (j % 8)));
            } else if (pixels[j] != 0) {
                ++strays;
            }
        }
        const unsigned char count[4] = {static_cast<unsigned char>(strays & 0xFFu),
                                        static_cast<unsigned char>((strays >> 8) & 0xFFu),
                                        static_cast<unsigned char>((strays >> 16) & 0xFFu),
                                        static_cast<unsigned char>(strays >> 24)};
        out.write(reinterpret_cast<const char*>(count), sizeof count);
        out.write(reinterpret_cast<const char*>(mask.data()),
                  static_cast<std::streamsize>(mask.size()));
        ++frames;
    }
    out.close();
    if (!out) {
        std::cerr << "gdi_pixels: cannot write " << argv[2] << '\n';
        return 1;
    }
    return 0;
}
