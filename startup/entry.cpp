// Main: refuses a second instance, picks the mode from the command line, and in saver mode parks
// the pointer, gives the pattern globals their start values and hands over to the render loop.
#include "startup/entry.h"

#include <string>

#include "common/numeric.h"
#include "common/run_error.h"
#include "display/render_loop.h"
#include "display/screeen.h"
#include "startup/settings_file.h"

namespace loopster {

namespace {

// The existence test is the lookup of the exact path yielding a non-empty name; a missing file
// leaves the dialog's defaults.
void loadSettingsIfPresent(Platform& platform, SaverState& state, Config& config) {
    const std::string& path = platform.locations.settingsFile;
    if (!platform.files.lookup(path).empty()) {
        LoadSettings(platform.files, path, config, state.globals);
    }
}

}  // namespace

void Main(Platform& platform, SaverState& state, Config& config) {
    Process& process = platform.process;
    if (process.previousInstance()) {
        process.endProcess(0);
    }

    // Case-sensitive on purpose: "/C" and "/S" are other starts and end at once.
    const std::string commandLine = process.commandLine();
    if (commandLine.starts_with("/c")) {
        // Read before the dialog appears, so that it opens showing the saved values.
        loadSettingsIfPresent(platform, state, config);
        config.Show();
        return;
    }
    if (commandLine != "/s") {
        process.endProcess(0);
    }

    // Twips are far beyond the screen's pixel extent, so the system pins the pointer to the
    // bottom-right corner, out of the curve's way.
    platform.desktop.SetCursorPos(toInt32(platform.desktop.screenWidthTwips()),
                                  toInt32(platform.desktop.screenHeightTwips()));
    loadSettingsIfPresent(platform, state, config);

    PatternGlobals& globals = state.globals;
    globals.FillRatio = 0.85;
    globals.PiValue = 3.141592654;
    globals.FixedGearSize = 100.0;
    globals.RollingGearSize = 40;
    // The dialog's controls are where the settings live; without a settings file they hold the
    // defaults "30" and light.
    globals.FrameRate = toInt16(textToNumber(config.Text1()));
    globals.LineWidth = config.Option1() ? 1 : 2;
    platform.random.seed(platform.clock.secondsSinceMidnight());

    Screeen screeen(platform.saverWindow, process);
    platform.saverWindow.setEventHandler(&screeen);
    SaverServices services{platform.saverWindow, platform.gdi, platform.clock, platform.eventLoop,
                           platform.random};
    RunSaver(services, state);
}

}  // namespace loopster
