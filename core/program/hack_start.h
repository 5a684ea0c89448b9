// The start of the xscreensaver hack: its command line (where to draw, and the frame-rate and
// line-width options that xscreensaver's settings dialog passes) and its run. The run takes the
// settings file and the start values as the saver does, but parks no pointer, takes no instance
// lock, writes no marker file and handles no input: the daemon holds the grabs, runs one hack per
// screen and ends each with a signal.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/saver/render_loop.h"
#include "core/saver/saver_state.h"
#include "seam/clock.h"
#include "seam/files.h"
#include "seam/gdi.h"
#include "seam/process.h"
#include "seam/random.h"
#include "seam/saver_window.h"

namespace loopster {

// The rates a --rate option may name, those of the settings dialog's scroll bar.
inline constexpr int kHackRateMin = 5;
inline constexpr int kHackRateMax = 100;

struct HackOptions {
    // The window to draw on: --window-id, else $XSCREENSAVER_WINDOW (the daemon's window, also
    // with --root, as the daemon's virtual root), else the screen's root window with --root.
    std::optional<std::uint32_t> windowId;
    bool root = false;
    // Overrides of the settings file; nothing keeps the file's value.
    std::optional<std::int16_t> frameRate;
    std::optional<bool> light;
    // --help (-h) and --version, which print and end before anything is opened.
    bool help = false;
    bool version = false;
    // One line each for stderr: bad values and unknown options, which are otherwise ignored.
    std::vector<std::string> problems;

    // Whether there is a window to draw on; without one the hack opens a window of its own.
    bool hasTarget() const { return windowId.has_value() || root; }
};

// A window id as X programs write it: hexadecimal with 0x (0x600008) or decimal; nothing when the
// text is not one, or is 0.
std::optional<std::uint32_t> parseWindowId(std::string_view text);

// `arguments` are the words after the program's name. Options take one dash or two, and a value
// either as the next word or after "=" (--rate 30, -rate=30). `environmentWindow` is the value of
// $XSCREENSAVER_WINDOW, or null when it is unset.
HackOptions parseHackOptions(const std::vector<std::string>& arguments,
                             const char* environmentWindow);

struct HackServices {
    Process& process;
    Files& files;
    Clock& clock;
    EventLoop& eventLoop;
    Random& random;
    Gdi& gdi;
    SaverWindow& window;
    // Set only by tests (LOOPSTER_TEST_PIN): the pattern and frame to hold still.
    const FramePin* pin = nullptr;
};

// Sets the start values from the settings file at `settingsFile` (when it exists) and the options'
// overrides, then runs the render loop, which returns only when the process ends.
void RunHack(HackServices& services, const std::string& settingsFile, const HackOptions& options,
             SaverState& state);

}  // namespace loopster
