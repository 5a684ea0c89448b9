// Main: refuses a second instance, picks the mode from the command line, and in saver mode parks
// the pointer, gives the pattern globals their start values and hands over to the render loop.
#include "core/program/entry.h"

#include <string>

#include "common/numeric.h"
#include "common/run_error.h"
#include "core/saver/render_loop.h"
#include "core/saver/screeen.h"
#include "core/settings/settings_file.h"

namespace loopster {

namespace {

// The existence test is the lookup of the exact path yielding a non-empty name; a missing file
// leaves the dialog's defaults. What the lookup does not take for a file (a folder of the name)
// is still named by the dialog rather than replaced.
void loadSettingsIfPresent(Files& files, const std::string& path, Config& config,
                           PatternGlobals& globals) {
    if (!files.lookup(path).empty()) {
        LoadSettings(files, path, config, globals);
    } else {
        config.checkSettingsFile(files.readPrefix(path, 0));
    }
}

}  // namespace

StartMode startModeOf(const std::string& commandLine) {
    if (commandLine.starts_with("/c")) {
        return StartMode::Settings;
    }
    return commandLine == "/s" ? StartMode::Saver : StartMode::Refused;
}

void setSaverStartValues(Files& files, const std::string& settingsFile, Config& config,
                         Clock& clock, Random& random, SaverState& state) {
    PatternGlobals& globals = state.globals;
    loadSettingsIfPresent(files, settingsFile, config, globals);
    globals.FillRatio = 0.85;
    globals.PiValue = 3.141592654;
    globals.FixedGearSize = 100.0;
    globals.RollingGearSize = 40;
    // The dialog's controls are where the settings live; without a settings file they hold the
    // defaults "30" and light.
    globals.FrameRate = toInt16(textToNumber(config.Text1()));
    globals.LineWidth = config.Option1() ? 1 : 2;
    random.seed(clock.secondsSinceMidnight());
}

void Main(Platform& platform, SaverState& state, Config& config) {
    Process& process = platform.process;
    if (process.previousInstance()) {
        process.endProcess(0);
    }

    const StartMode mode = startModeOf(process.commandLine());
    if (mode == StartMode::Settings) {
        // Read before the dialog appears, so that it opens showing the saved values.
        loadSettingsIfPresent(platform.files, platform.locations.settingsFile, config,
                              state.globals);
        config.Show();
        return;
    }
    if (mode != StartMode::Saver) {
        process.endProcess(0);
    }

    // Twips are far beyond the screen's pixel extent, so the system pins the pointer to the
    // bottom-right corner, out of the curve's way.
    platform.desktop.SetCursorPos(toInt32(platform.desktop.screenWidthTwips()),
                                  toInt32(platform.desktop.screenHeightTwips()));
    setSaverStartValues(platform.files, platform.locations.settingsFile, config, platform.clock,
                        platform.random, state);

    Screeen screeen(platform.saverWindow, process);
    platform.saverWindow.setEventHandler(&screeen);
    SaverServices services{platform.saverWindow, platform.gdi,    platform.clock,
                           platform.eventLoop,   platform.random, platform.saverSurfaces,
                           platform.pin};
    RunSaver(services, state);
}

}  // namespace loopster
