// The loopster hack for the xscreensaver daemon: the saver's render loop and pattern engine,
// drawing on the daemon's window ($XSCREENSAVER_WINDOW), on --window-id ID or on the root window
// (--root), with the settings file's frame rate and line width unless --rate N, --light or
// --heavy override them. It runs until a signal ends it; see hack_event_loop.h.
//
// This host supports:
// - X11 only, over xcb, with no toolkit: frames put straight to the window by hosts/x11;
// - one window (the daemon starts one hack per X screen);
// - the settings file, read only: no dialog, no marker, no instance lock;
// - ending by SIGTERM, SIGINT or SIGHUP (the daemon watches the input), or when the window goes.
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "common/run_error.h"
#include "core/pattern/standard_random.h"
#include "core/program/entry.h"
#include "core/program/hack_start.h"
#include "hosts/posix/posix_files.h"
#include "hosts/qt/qt_clock.h"
#include "hosts/qt/qt_gdi.h"
#include "hosts/qt/qt_process.h"
#include "hosts/xscreensaver/foreign_window.h"
#include "hosts/xscreensaver/hack_event_loop.h"

namespace {

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
    loopster::QtProcess m_process;
};

}  // namespace

int main(int argc, char** argv) {
    using namespace loopster;
    blockEndingSignals();

    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const HackOptions options = parseHackOptions(arguments, std::getenv("XSCREENSAVER_WINDOW"));
    for (const std::string& problem : options.problems) {
        std::fprintf(stderr, "loopster: %s\n", problem.c_str());
    }
    if (!options.hasTarget()) {
        std::fprintf(stderr,
                     "loopster: nothing to draw on; run it from xscreensaver, or give --root or "
                     "--window-id ID\n");
        return 1;
    }

    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection) != 0) {
        const char* display = std::getenv("DISPLAY");
        std::fprintf(stderr, "loopster: cannot open the display \"%s\"\n",
                     display != nullptr ? display : "");
        return 1;
    }
    const xcb_window_t target =
        options.windowId ? *options.windowId : rootWindow(connection, screenNumber);

    HackProcess process(argc, argv);
    ForeignWindow window(connection, target, process);
    if (const auto problem = window.attach()) {
        std::fprintf(stderr, "loopster: %s\n", problem->c_str());
        return 1;
    }
    PosixFiles files;
    QtClock clock;
    HackEventLoop eventLoop(connection, window);
    StandardRandom random;
    QtGdi gdi(window);
    HackServices services{process, files, clock, eventLoop, random, gdi, window};
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
