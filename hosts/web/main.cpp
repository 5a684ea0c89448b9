// The page's entry points into the core: start, one frame per call of the browser's frame
// callback, the canvas's size, the full-screen saver's input events and the settings panel's
// actions. Each runs inside the error guard; a fatal error shows its message on the page and stops
// the saver, and "ending the process" ends the saver or the panel and returns to the page.
#include <emscripten.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>

#include "common/error_guard.h"
#include "common/numeric.h"
#include "core/pattern/standard_random.h"
#include "core/program/entry.h"
#include "core/saver/render_loop.h"
#include "core/saver/screeen.h"
#include "core/settings/settings_file.h"
#include "hosts/web/web_host.h"

namespace loopster {
namespace {

struct WebSaver {
    WebClock clock;
    WebEventLoop eventLoop;
    StandardRandom random;
    WebCanvas canvas;
    WebSurfaces surfaces{canvas};
    RasterGdi gdi{canvas};
    LocalStorageFiles files;
    WebProcess process;
    WebDesktop desktop;
    WebConfigView view;
    FileLocations locations = webFileLocations();
    std::unique_ptr<SaverState> state = std::make_unique<SaverState>();
    SaverServices services{canvas, gdi, clock, eventLoop, random, &surfaces};
    // The settings the saver started with, and those of the open panel.
    std::unique_ptr<Config> config;
    std::unique_ptr<Config> panel;
    std::unique_ptr<FrameStepper> stepper;
    std::unique_ptr<Screeen> screeen;
    std::uint32_t deadline = 0;
    // A pinned frame, or a saver stopped by a fatal error, stays as it is.
    bool held = false;
};

// The page's one saver; a second start replaces it.
std::unique_ptr<WebSaver> saver;

// Runs a call from the page; true when it ended "the process": the full-screen saver, the panel,
// or, after a fatal error, everything.
bool fromPage(const std::function<void()>& call) {
    try {
        runGuarded(saver->process, call);
    } catch (const ProcessEnded& ended) {
        if (ended.exitCode != 0) {
            saver->held = true;
        }
        return true;
    }
    return false;
}

void applySettings(Config& config, PatternGlobals& globals) {
    globals.FrameRate = toInt16(textToNumber(config.Text1()));
    globals.LineWidth = config.Option1() ? 1 : 2;
}

}  // namespace
}  // namespace loopster

using loopster::saver;

extern "C" {

// Starts the saver on a canvas of `width` x `height` device pixels with the saved settings, at
// the lowest frame rate where the user asks for reduced motion, and draws the first frame. A
// `pinFrame` of 0 or more (a test's) seeds the sequence with `pinSeed` instead of the time of
// day, draws and shows frames 0 to `pinFrame` at once and holds the last one still.
EMSCRIPTEN_KEEPALIVE int loopster_start(int width, int height, int reducedMotion, double pinSeed,
                                        int pinFrame) {
    using namespace loopster;
    saver = std::make_unique<WebSaver>();
    return fromPage([&] {
        if (!saver->canvas.resize(width, height)) {
            throw std::runtime_error(noBufferMessage(width, height));
        }
        saver->config = std::make_unique<Config>(saver->view, saver->files, saver->desktop,
                                                 saver->process, saver->locations);
        setSaverStartValues(saver->files, saver->locations.settingsFile, *saver->config,
                            saver->clock, saver->random, *saver->state);
        if (reducedMotion != 0) {
            saver->state->globals.FrameRate = Config::kScrollMin;
        }
        if (pinFrame >= 0) {
            saver->random.seed(static_cast<float>(pinSeed));
        }
        saver->stepper = std::make_unique<FrameStepper>(saver->services, *saver->state);
        // Each frame is shown as it would be while running, so a pinned frame is also the sum
        // of every clear and every changed rectangle before it.
        for (int frame = 0; frame <= std::max(pinFrame, 0); ++frame) {
            saver->deadline = saver->stepper->step().value_or(0);
            saver->canvas.present();
        }
        saver->held = pinFrame >= 0;
    })
               ? 1
               : 0;
}

// The browser's frame callback at `time` (performance.now() milliseconds, taken at the display's
// refresh): draws the next frame once the last one's deadline has come, and shows what changed.
// True when it drew.
//
// The callbacks come only at refreshes, so a frame is drawn at the first refresh after its
// deadline. It starts at the deadline itself, as in the other hosts, whose wait ends at the
// deadline and whose frame the system shows at its next refresh: the set rate is kept on average
// whatever the refresh rate, instead of losing up to a refresh every frame. Only a frame later
// than a whole frame's time (a hidden page, a busy machine) starts when it is drawn, so that
// missed frames are never made up for with a burst.
EMSCRIPTEN_KEEPALIVE int loopster_frame(double time) {
    using namespace loopster;
    if (!saver || saver->held || !saver->stepper) {
        return 0;
    }
    const std::uint32_t now = tickOf(time);
    const std::int32_t late = -ticksUntil(saver->deadline, now);
    if (late < 0) {
        return 0;
    }
    const std::int32_t period = ticksUntil(frameDeadline(0, saver->state->globals.FrameRate), 0);
    saver->clock.setFrameTick(late < period ? saver->deadline : now);
    const bool ended = fromPage([] {
        saver->deadline = saver->stepper->step().value_or(0);
        saver->canvas.present();
    });
    saver->clock.setFrameTick(std::nullopt);
    return ended ? 0 : 1;
}

// The canvas now has `width` x `height` device pixels: the buffer follows at once, the curve's
// mapping within a moment.
EMSCRIPTEN_KEEPALIVE void loopster_resize(int width, int height) {
    // Without the memory for the new size the canvas stays black until a size that fits.
    static_cast<void>(saver->canvas.resize(width, height));
    saver->canvas.present();
}

EMSCRIPTEN_KEEPALIVE int loopster_frame_rate() {
    return saver->state->globals.FrameRate;
}

EMSCRIPTEN_KEEPALIVE int loopster_line_width() {
    return saver->state->globals.LineWidth;
}

// The page has gone full screen as the saver: from now on its input goes by the saver's rules.
EMSCRIPTEN_KEEPALIVE void loopster_saver_begin() {
    using namespace loopster;
    saver->screeen = std::make_unique<Screeen>(saver->canvas, saver->process);
    saver->canvas.setEventHandler(saver->screeen.get());
}

// One input event of the full-screen saver: 0 a key (`code`), 1 a mouse button (`code`), 2 a
// click, 3 a pointer movement to (x, y), 4 the window leaving full screen by any other cause.
// True when it ended the saver, which the page then takes out of full screen.
EMSCRIPTEN_KEEPALIVE int loopster_saver_event(int kind, int code, double x, double y) {
    using namespace loopster;
    SaverWindowEvents* const events = saver->canvas.handler();
    if (events == nullptr) {
        return 1;
    }
    const bool ended = fromPage([&] {
        switch (kind) {
            case 0:
                events->onKeyDown(code);
                break;
            case 1:
                events->onMouseDown(code);
                break;
            case 2:
                events->onClick();
                break;
            case 3:
                events->onMouseMove(static_cast<float>(x), static_cast<float>(y));
                break;
            default:
                events->onClose();
                break;
        }
    });
    if (ended) {
        saver->canvas.setEventHandler(nullptr);
        saver->screeen.reset();
    }
    return ended ? 1 : 0;
}

// Opens the settings panel as the dialog opens: loaded afresh, showing the saved settings.
EMSCRIPTEN_KEEPALIVE void loopster_panel_open() {
    using namespace loopster;
    fromPage([] {
        saver->panel = std::make_unique<Config>(saver->view, saver->files, saver->desktop,
                                                saver->process, saver->locations);
        // The dialog reads the file into the controls and into pattern globals of its own,
        // which the running saver does not use.
        PatternGlobals scratch;
        if (!saver->files.lookup(saver->locations.settingsFile).empty()) {
            LoadSettings(saver->files, saver->locations.settingsFile, *saver->panel, scratch);
        }
        saver->panel->Show();
    });
}

// One action in the panel: 0 the scroll bar's new value, 1 an option mark (`value` 1 for light),
// 2 OK, 3 closed without saving. True when the panel is gone; after OK the running saver takes
// the saved settings from its next frame.
EMSCRIPTEN_KEEPALIVE int loopster_panel_event(int kind, int value) {
    using namespace loopster;
    ConfigEvents* const events = saver->view.handler();
    if (!saver->panel || events == nullptr) {
        return 1;
    }
    const bool ended = fromPage([&] {
        switch (kind) {
            case 0:
                events->onScrollChange(value);
                break;
            case 1:
                events->onOptionClick(value != 0);
                break;
            case 2:
                events->onOkClick();
                break;
            default:
                events->onCloseRequest();
                break;
        }
    });
    if (ended) {
        if (kind == 2) {
            fromPage([] { applySettings(*saver->panel, saver->state->globals); });
        }
        saver->view.setEventHandler(nullptr);
        saver->panel.reset();
    }
    return ended ? 1 : 0;
}

}  // extern "C"
