// What showing a frame costs on X11, with no random pattern in the way: the densest curve the
// randomiser makes and a typical one, mapped to the screen of $DISPLAY and drawn frame after frame
// at 30 frames per second on a full-screen window as the saver does (X11Presenter: the pen's
// pixels, then the last frame's that this one leaves out). For each curve it prints the pixels of
// a frame and the CPU per frame of this program and of the X server, whose process id it is given:
//
//   present_bench XSERVER_PID [--no-put] [--no-wait] [--clear-first]
//
// --clear-first sends the last frame's pixels whole in black before this frame's, as a plain
// clear then draw would (the screen shows no curve in between), to weigh what the presenter's
// order costs. --no-put leaves the X server out (the pixels are listed, nothing is sent), --no-wait
// draws the frames one right after the other instead of 30 a second; together they show what the
// frames cost with warm caches. A measuring program, not a test; bench/present-cost.sh runs it on
// private Xvfbs.
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_animation.h"
#include "core/raster/pen_raster.h"
#include "hosts/x11/x11_presenter.h"

namespace loopster {
namespace {

// CPU time of every thread of a process, in ns, from the scheduler's own accounting.
double cpuNs(const std::string& pid) {
    double total = 0.0;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + pid + "/task", error)) {
        std::ifstream stat(task.path() / "schedstat");
        double ns = 0.0;
        if (stat >> ns) {
            total += ns;
        }
    }
    return total;
}

// The plain order the presenter avoids: the last frame's pixels whole in black, then this frame's
// in colour, then the same round trip.
void clearThenDraw(xcb_connection_t* connection, xcb_window_t window, PixelList& list,
                   std::vector<PixelPoint>& old, const CurvePoint* points, int count) {
    static xcb_gcontext_t gc = 0;
    if (gc == 0) {
        gc = xcb_generate_id(connection);
        xcb_create_gc(connection, gc, window, 0, nullptr);
    }
    list.take(old);
    list.add(points, count, 2);
    const auto send = [&](std::uint32_t colour, const std::vector<PixelPoint>& pixels) {
        xcb_change_gc(connection, gc, XCB_GC_FOREGROUND, &colour);
        for (std::size_t first = 0; first < pixels.size(); first += 60000) {
            xcb_poly_point(
                connection, XCB_COORD_MODE_ORIGIN, window, gc,
                static_cast<std::uint32_t>(std::min<std::size_t>(60000, pixels.size() - first)),
                reinterpret_cast<const xcb_point_t*>(pixels.data() + first));
        }
    };
    send(0, old);
    send(0xFFC040u, list.points());
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

// A curve's frames, drawn at the given gears.
struct Curve {
    const char* name;
    double fixedGearSize;
    std::int16_t rollingGearSize;
};

int run(int argc, char** argv) {
    bool put = true;
    bool wait = true;
    bool clearFirst = false;
    bool understood = argc >= 2;
    for (int k = 2; k < argc; ++k) {
        const std::string flag = argv[k];
        put = put && flag != "--no-put";
        clearFirst = clearFirst || flag == "--clear-first";
        wait = wait && flag != "--no-wait";
        understood =
            understood && (flag == "--no-put" || flag == "--no-wait" || flag == "--clear-first");
    }
    if (!understood) {
        std::fprintf(stderr,
                     "usage: present_bench XSERVER_PID [--no-put] [--no-wait] [--clear-first]\n");
        return 2;
    }
    const std::string server = argv[1];

    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection) != 0) {
        std::fprintf(stderr, "error: no X display\n");
        return 1;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    struct {
        int w;
        int h;
        int width() const { return w; }
        int height() const { return h; }
    } const size{screen->width_in_pixels, screen->height_in_pixels};
    const xcb_window_t window = xcb_generate_id(connection);
    const std::uint32_t values[] = {screen->black_pixel, 1};
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0,
                      static_cast<std::uint16_t>(size.width()),
                      static_cast<std::uint16_t>(size.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
    xcb_map_window(connection, window);
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));

    std::printf("%dx%d, %s, two-pixel pen, %s, per frame:\n", size.width(), size.height(),
                wait ? "30 fps" : "no wait", put ? "sent to the window" : "not sent");
    std::printf("%-18s %9s %10s %14s\n", "curve", "pixels", "this, us", "X server, us");
    for (const Curve& kind :
         {Curve{"densest (481 pts)", 60.0, 25}, Curve{"typical (201 pts)", 100.0, 40}}) {
        const std::vector<std::unique_ptr<CurveBuffer>> curves =
            benchFrames(kind.fixedGearSize, kind.rollingGearSize, static_cast<float>(size.width()),
                        static_cast<float>(size.height()));
        auto presenter =
            X11Presenter::create(connection, window, size.width(), size.height(), nullptr);
        if (!presenter) {
            std::fprintf(stderr, "error: the window does not take 24-bit true colour\n");
            return 1;
        }
        PixelList list;
        list.resize(size.width(), size.height());
        std::vector<PixelPoint> taken;
        long pixels = 0;
        const std::size_t frames = curves.size() * 2;
        const double self0 = cpuNs("self");
        const double server0 = cpuNs(server);
        auto next = std::chrono::steady_clock::now();
        for (std::size_t j = 0; j < frames; ++j) {
            const CurveBuffer& curve = *curves[j % curves.size()];
            const int count = curve.PointCount + 1;
            if (put && clearFirst) {
                clearThenDraw(connection, window, list, taken, curve.CurvePoints.data(), count);
                pixels += static_cast<long>(list.points().size());
            } else if (put) {
                presenter->clear();
                presenter->polyline(curve.CurvePoints.data(), count, 2, 0xFFFFC040u);
                pixels += static_cast<long>(presenter->pixels());
            } else {
                list.take(taken);
                list.add(curve.CurvePoints.data(), count, 2);
                pixels += static_cast<long>(list.points().size());
            }
            if (wait) {
                next += std::chrono::microseconds(33333);
                std::this_thread::sleep_until(next);
            }
        }
        presenter.reset();
        const double self = (cpuNs("self") - self0) / 1000.0 / static_cast<double>(frames);
        const double xserver = (cpuNs(server) - server0) / 1000.0 / static_cast<double>(frames);
        const auto count = static_cast<long>(frames);
        std::printf("%-18s %9ld %10.1f %14.1f\n", kind.name, pixels / count, self, xserver);
        std::fflush(stdout);
    }
    xcb_disconnect(connection);
    return 0;
}

}  // namespace
}  // namespace loopster

int main(int argc, char** argv) {
    return loopster::run(argc, argv);
}
