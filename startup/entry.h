// The process entry as every executable uses it: the platform's services in one bundle and Main,
// which each executable runs inside the error guard (runGuarded, from common/error_guard.h).
#pragma once

#include "common/error_guard.h"
#include "platform/clock.h"
#include "platform/config_view.h"
#include "platform/desktop.h"
#include "platform/files.h"
#include "platform/gdi.h"
#include "platform/process.h"
#include "platform/random.h"
#include "platform/saver_window.h"
#include "settings_dialog/config.h"
#include "startup/saver_state.h"

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
};

// Picks the mode from the command line. Returns only in settings mode, after showing the dialog
// modeless: the caller then runs its event loop until the dialog ends the process. In saver mode
// the render loop never returns; every other start ends the process at once.
void Main(Platform& platform, SaverState& state, Config& config);

}  // namespace loopster
