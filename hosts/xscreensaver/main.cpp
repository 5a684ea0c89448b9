// The loopster hack for the xscreensaver daemon: the saver's render loop and pattern engine,
// drawing on the daemon's window ($XSCREENSAVER_WINDOW), on --window-id ID or on the root window
// (--root), with the settings file's frame rate and line width unless --rate N, --light or
// --heavy override them. Started by hand with none of these, it opens a window of its own. It runs
// until a signal ends it, or its own window is closed; see hack_event_loop.h.
//
// This host supports:
// - X11 only, over xcb, with no toolkit: frames put straight to the window by hosts/x11;
// - one window (the daemon starts one hack per X screen, or its own window started by hand);
// - the settings file, read only: no dialog, no marker, no instance lock;
// - ending by SIGTERM, SIGINT or SIGHUP (the daemon watches the input), when the window goes, or
//   when its own window is closed.
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/run_error.h"
#include "core/pattern/standard_random.h"
#include "core/program/entry.h"
#include "core/program/hack_start.h"
#include "core/raster/raster_gdi.h"
#include "hosts/posix/posix_clock.h"
#include "hosts/posix/posix_files.h"
#include "hosts/posix/posix_process.h"
#include "hosts/xscreensaver/foreign_window.h"
#include "hosts/xscreensaver/hack_event_loop.h"
#include "hosts/xscreensaver/own_window.h"

namespace {

constexpr const char* kUsage =
    "Usage: /usr/libexec/xscreensaver/loopster [--root] [--window-id id] [--rate n]\n"
    "                                          [--light | --heavy]\n"
    "       /usr/libexec/xscreensaver/loopster --help | --version\n"
    "\n"
    "Spirograph curves for the xscreensaver daemon, which starts it on each screen and ends it\n"
    "with a signal. Options take one dash or two, and a value after a blank or \"=\".\n"
    "  --root            draw into the daemon's window ($XSCREENSAVER_WINDOW), or else into the\n"
    "                    screen's root window\n"
    "  --window-id id    draw into the window id (0x600008 or decimal)\n"
    "  --rate n          at most n frames per second, 5 to 100, instead of the settings file's\n"
    "  --light, --heavy  one- or two-pixel lines instead of the settings file's\n"
    "  --help, -h        print this help\n"
    "  --version         print the version\n"
    "With no window named, it opens a window of its own, which ends it when closed. To add it to\n"
    "the daemon's list, run loopster-xscreensaver-add. See loopster(6x).\n";

// Prints to stdout and says whether it got there.
int printed(const char* text) {
    std::fputs(text, stdout);
    return std::fflush(stdout) == 0 && std::ferror(stdout) == 0 ? 0 : 1;
}

// The root window of the screen that $DISPLAY names (":0.1" is screen 1).
xcb_window_t rootWindow(xcb_connection_t* connection, int screenNumber) {
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem != 0; ++i) {
        xcb_screen_next(&screens);
    }
    return screens.rem != 0 ? screens.data->root : 0;
}

// The hack's process: the saver's, except that an end asked for with the exit code of a death by
// an ending signal is that death, once the window has let go of its shared memory.
class HackProcess final : public loopster::Process {
  public:
    HackProcess(int argc, char** argv) : m_process(argc, argv) {}

    bool previousInstance() override { return m_process.previousInstance(); }
    std::string commandLine() override { return m_process.commandLine(); }
    void showFatalError(const std::string& message) override { m_process.showFatalError(message); }
    [[noreturn]] void endProcess(int exitCode) override {
        if (const int signal = loopster::endingSignalOf(exitCode)) {
            loopster::endBySignal(signal);
        }
        m_process.endProcess(exitCode);
    }

  private:
    loopster::PosixProcess m_process;
};

}  // namespace

int main(int argc, char** argv) {
    using namespace loopster;
    blockEndingSignals();

    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const HackOptions options = parseHackOptions(arguments, std::getenv("XSCREENSAVER_WINDOW"));
    if (options.help) {
        return printed(kUsage);
    }
    if (options.version) {
        return printed("loopster " LOOPSTER_VERSION "\n");
    }
    for (const std::string& problem : options.problems) {
        std::fprintf(stderr, "loopster: %s\n", problem.c_str());
    }

    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection) != 0) {
        const char* display = std::getenv("DISPLAY");
        std::fprintf(stderr, "loopster: cannot open the display \"%s\"\n",
                     display != nullptr ? display : "");
        return 1;
    }
    // Started by hand with nothing to draw on: a window of its own, drawn on like any other.
    std::optional<OwnWindow> own;
    if (!options.hasTarget()) {
        std::string problem;
        own = openOwnWindow(connection, screenNumber, problem);
        if (!own) {
            std::fprintf(stderr, "loopster: %s\n", problem.c_str());
            return 1;
        }
    }
    const xcb_window_t target = own                ? own->window
                                : options.windowId ? *options.windowId
                                                   : rootWindow(connection, screenNumber);

    HackProcess process(argc, argv);
    ForeignWindow window(connection, target, process);
    if (const auto problem = window.attach()) {
        std::fprintf(stderr, "loopster: %s\n", problem->c_str());
        return 1;
    }
    PosixFiles files;
    PosixClock clock;
    HackEventLoop eventLoop(connection, window);
    if (own) {
        eventLoop.endOnDeleteRequest(own->deleteAtom);
    }
    StandardRandom random;
    RasterGdi gdi(window);
    // Tests hold one pattern and frame still to compare the screen with the lab's picture.
    std::string pinProblem;
    const std::optional<FramePin> pin = parseFramePin(std::getenv("LOOPSTER_TEST_PIN"), pinProblem);
    if (!pinProblem.empty()) {
        std::fprintf(stderr, "loopster: %s\n", pinProblem.c_str());
    }
    HackServices services{process, files, clock,  eventLoop,
                          random,  gdi,   window, pin ? &*pin : nullptr};
    const auto state = std::make_unique<SaverState>();

    // A fatal run-time error ends the run with the standard message and status 1; the shared
    // memory goes first.
    runGuarded(process, [&] {
        try {
            RunHack(services, linuxFileLocations().settingsFile, options, *state);
        } catch (...) {
            window.release();
            throw;
        }
    });
    return 0;
}
