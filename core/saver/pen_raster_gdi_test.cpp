// The pixel check between the two builds: frames of the randomiser (pinned seeds; whole curves,
// curves reaching past every side of the buffer, one- and two-pixel pens) drawn by the Windows
// build with the real gdi32 under Wine and here by the pen rasteriser, compared pixel by pixel.
// One-pixel frames must be identical; two-pixel frames identical, or at least 99.9 % of the ink
// in common with no pixel farther than one pixel from the other build's ink. Both builds must ink
// every vertex of a closed curve that lies in the buffer.
//
// Usage: pen_raster_gdi_test RUNNER PREFIX EXE_I686 EXE_X64 WORKDIR
// RUNNER runs the Windows program (platform/win32/tests/gdi_pixels_run.sh); exit status 77 when
// no Windows build can run here.
#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "core/geometry/pixel_mapping.h"
#include "core/pattern/randomiser.h"
#include "core/pattern/standard_random.h"
#include "core/raster/pen_raster.h"
#include "core/saver/saver_state.h"

namespace loopster {
namespace {

struct Frame {
    int width;
    int height;
    int penWidth;
    std::int32_t colour;
    std::vector<CurvePoint> points;
};

// The curve of frame `index` mapped onto an area of w x h pixels, moved by (dx, dy).
std::vector<CurvePoint> mapped(const CurveBuffer& traced, float w, float h, int dx, int dy) {
    auto curve = std::make_unique<CurveBuffer>(traced);
    mapToPixels(*curve, w, h, 0.85);
    std::vector<CurvePoint> points(curve->CurvePoints.begin(),
                                   curve->CurvePoints.begin() + curve->PointCount + 1);
    for (CurvePoint& point : points) {
        point.x += dx;
        point.y += dy;
    }
    return points;
}

std::vector<Frame> frames() {
    std::vector<Frame> all;
    auto state = std::make_unique<SaverState>();
    StandardRandom random;
    for (int seed = 0; seed < 40; ++seed) {
        state->globals.FixedGearSize = 100.0;
        state->globals.RollingGearSize = 40;
        random.seed(static_cast<float>(seed) * 1013.25f);
        for (int pattern = 0; pattern < 2; ++pattern) {
            const std::int16_t count = NewPattern(state->genbox, state->globals, random);
            state->globals.FrameCount = count;
            if (count <= 0) {
                continue;
            }
            for (const int at : {0, count / 2}) {
                const auto index = static_cast<std::int16_t>(at);
                BuildFrame(index, state->genbox, state->globals, state->frameTable);
                TraceCurve(index, state->frameTable, state->globals.PiValue, state->curve);
                std::int32_t colour = frameAt(state->frameTable, index).PenColor & 0xFFFFFF;
                // Black ink could not be told from the background.
                colour = colour == 0 ? 0xFFFFFF : colour;
                const bool large = seed % 8 == 0;
                const int w = large ? 1024 : 320;
                const int h = large ? 768 : 240;
                for (const int pen : {1, 2}) {
                    all.push_back(Frame{
                        w, h, pen, colour,
                        mapped(state->curve, static_cast<float>(w), static_cast<float>(h), 0, 0)});
                    // Larger than the buffer and off its centre: parts lie past every side.
                    all.push_back(Frame{w, h, pen, colour,
                                        mapped(state->curve, static_cast<float>(w) * 1.8f,
                                               static_cast<float>(h) * 1.8f, -w / 2, -h / 3)});
                }
            }
        }
    }
    return all;
}

bool inked(const std::vector<bool>& ink, int width, int height, int x, int y) {
    return x >= 0 && y >= 0 && x < width && y < height &&
           ink[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
               static_cast<std::size_t>(x)];
}

// No more than one pixel away from ink of `other`.
bool nearInk(const std::vector<bool>& other, int width, int height, int x, int y) {
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            if (inked(other, width, height, x + dx, y + dy)) {
                return true;
            }
        }
    }
    return false;
}

int run(int argc, char** argv) {
    if (argc != 6) {
        std::cerr << "usage: pen_raster_gdi_test RUNNER PREFIX EXE_I686 EXE_X64 WORKDIR\n";
        return 2;
    }
    const std::filesystem::path workdir = argv[5];
    std::filesystem::create_directories(workdir);
    const std::vector<Frame> all = frames();
    {
        std::ofstream out(workdir / "frames.txt");
        for (const Frame& frame : all) {
            out << frame.width << ' ' << frame.height << ' ' << frame.penWidth << ' '
                << frame.colour << ' ' << frame.points.size();
            for (const CurvePoint& point : frame.points) {
                out << ' ' << point.x << ' ' << point.y;
            }
            out << '\n';
        }
    }
    const std::string command = "cd '" + workdir.string() + "' && '" + argv[1] + "' '" + argv[2] +
                                "' '" + argv[3] + "' '" + argv[4] + "' frames.txt gdi.bin";
    const int status = std::system(command.c_str());
    if (status != 0) {
        const bool skipped = WIFEXITED(status) && WEXITSTATUS(status) == 77;
        std::cerr << (skipped ? "skipped: " : "failed: ") << command << '\n';
        return skipped ? 77 : 1;
    }
    std::ifstream in(workdir / "gdi.bin", std::ios::binary);

    int failures = 0;
    long thinFrames = 0;
    long wideFrames = 0;
    long wideIdentical = 0;
    long wideInk = 0;
    long wideDiffering = 0;
    for (std::size_t f = 0; f < all.size(); ++f) {
        const Frame& frame = all[f];
        const auto size =
            static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height);
        unsigned char header[4] = {};
        std::vector<unsigned char> mask((size + 7) / 8);
        if (!in.read(reinterpret_cast<char*>(header), sizeof header) ||
            !in.read(reinterpret_cast<char*>(mask.data()),
                     static_cast<std::streamsize>(mask.size()))) {
            std::cerr << "frame " << f << ": the Windows build wrote no pixels\n";
            return 1;
        }
        const std::uint32_t strays = header[0] | (header[1] << 8u) | (header[2] << 16u) |
                                     (static_cast<std::uint32_t>(header[3]) << 24u);
        std::vector<bool> theirs(size);
        for (std::size_t j = 0; j < size; ++j) {
            theirs[j] = ((mask[j / 8] >> (j % 8)) & 1u) != 0;
        }

        const std::uint32_t ink = 0xFF000000u | static_cast<std::uint32_t>(frame.colour);
        std::vector<std::uint32_t> pixels(size, 0xFF000000u);
        drawPolyline(PixelRows{pixels.data(), static_cast<std::size_t>(frame.width), frame.width,
                               frame.height},
                     frame.points.data(), static_cast<int>(frame.points.size()), frame.penWidth,
                     ink);
        std::vector<bool> ours(size);
        long ourStrays = 0;
        for (std::size_t j = 0; j < size; ++j) {
            ours[j] = pixels[j] == ink;
            ourStrays += !ours[j] && pixels[j] != 0xFF000000u ? 1 : 0;
        }

        const std::string name = "frame " + std::to_string(f) + " (" + std::to_string(frame.width) +
                                 "x" + std::to_string(frame.height) + ", pen " +
                                 std::to_string(frame.penWidth) + ")";
        if (strays != 0 || ourStrays != 0) {
            std::cerr << name << ": pixels of another colour: Windows " << strays << ", here "
                      << ourStrays << '\n';
            ++failures;
        }
        // A closed curve inks every vertex in the buffer, in both builds.
        const bool closed = frame.points.front().x == frame.points.back().x &&
                            frame.points.front().y == frame.points.back().y;
        for (const CurvePoint& point : frame.points) {
            if (closed &&
                (!inked(ours, frame.width, frame.height, point.x, point.y) ||
                 !inked(theirs, frame.width, frame.height, point.x, point.y)) &&
                point.x >= 0 && point.y >= 0 && point.x < frame.width && point.y < frame.height) {
                std::cerr << name << ": vertex " << point.x << ',' << point.y << " not inked"
                          << '\n';
                ++failures;
                break;
            }
        }

        long common = 0;
        long total = 0;
        long differing = 0;
        bool far = false;
        for (int y = 0; y < frame.height; ++y) {
            for (int x = 0; x < frame.width; ++x) {
                const std::size_t j =
                    static_cast<std::size_t>(y) * static_cast<std::size_t>(frame.width) +
                    static_cast<std::size_t>(x);
                total += ours[j] || theirs[j] ? 1 : 0;
                common += ours[j] && theirs[j] ? 1 : 0;
                if (ours[j] != theirs[j]) {
                    ++differing;
                    far = far || !nearInk(ours[j] ? theirs : ours, frame.width, frame.height, x, y);
                    if (differing <= 3) {
                        std::cerr << name << ": " << x << ',' << y << " inked only "
                                  << (ours[j] ? "here" : "on Windows") << '\n';
                    }
                }
            }
        }
        if (frame.penWidth <= 1) {
            ++thinFrames;
            if (differing != 0) {
                std::cerr << name << ": " << differing << " pixels differ\n";
                ++failures;
            }
        } else {
            ++wideFrames;
            wideIdentical += differing == 0 ? 1 : 0;
            wideInk += total;
            wideDiffering += differing;
            if (far || common * 1000 < total * 999) {
                std::cerr << name << ": " << common << " of " << total << " inked pixels in common"
                          << (far ? ", some more than a pixel from the other's ink" : "") << '\n';
                ++failures;
            }
        }
    }
    std::cout << all.size() << " frames: " << thinFrames << " one-pixel, " << wideFrames
              << " two-pixel (" << wideIdentical << " identical; " << wideDiffering << " of "
              << wideInk << " inked pixels differ)\n";
    if (failures != 0) {
        std::cerr << failures << " failures\n";
        return 1;
    }
    return 0;
}

}  // namespace
}  // namespace loopster

int main(int argc, char** argv) {
    return loopster::run(argc, argv);
}
