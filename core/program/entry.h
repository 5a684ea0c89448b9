// The process entry as every executable uses it: the platform's services in one bundle and Main,
// which each executable runs inside the error guard (runGuarded, from common/error_guard.h).
#pragma once

#include <string>

#include "common/error_guard.h"
#include "core/saver/render_loop.h"
#include "core/saver/saver_state.h"
#include "core/saver/saver_surfaces.h"
#include "core/settings/config.h"
#include "seam/clock.h"
#include "seam/config_view.h"
#include "seam/desktop.h"
#include "seam/files.h"
#include "seam/gdi.h"
#include "seam/process.h"
#include "seam/random.h"
#include "seam/saver_window.h"

namespace loopster {

struct Platform {
    Process& process;
    Desktop& desktop;
    Files& files;
    Clock& clock;
    EventLoop& eventLoop;
    Random& random;
    Gdi& gdi;
    SaverWindow& saverWindow;
    ConfigView& configView;
    FileLocations locations;
    // One saver window per monitor, when the platform makes them; `saverWindow` is then the set
    // seen as one window, which the exit rules close.
    SaverSurfaces* saverSurfaces = nullptr;
    // Set only by tests (LOOPSTER_TEST_PIN): the pattern and frame to hold still.
    const FramePin* pin = nullptr;
};

// What a command line starts. Case-sensitive: "/c" followed by anything opens the dialog, exactly
// "/s" runs the saver, and everything else ("/C", "/S", "/p 123", "") is refused and ends at once.
// Executables decide with this before they open a display, so a refused start needs none.
enum class StartMode { Refused, Settings, Saver };
StartMode startModeOf(const std::string& commandLine);

// Picks the mode from the command line. Returns only in settings mode, after showing the dialog
// modeless: the caller then runs its event loop until the dialog ends the process. In saver mode
// the render loop never returns; every other start ends the process at once.
void Main(Platform& platform, SaverState& state, Config& config);

// The start values of a saver run, for every program that runs the render loop: the settings file
// when it exists, the pattern globals, FrameRate and LineWidth from the dialog's controls, and the
// random seed from the time of day.
void setSaverStartValues(Files& files, const std::string& settingsFile, Config& config,
                         Clock& clock, Random& random, SaverState& state);

}  // namespace loopster
