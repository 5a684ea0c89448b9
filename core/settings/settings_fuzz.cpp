// libFuzzer target for the settings reader: any file content must load without a crash and leave a
// frame rate of 5 to 100 and a line width of 1 or 2 that agree with the dialog's controls.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/numeric.h"
#include "core/pattern/pattern_globals.h"
#include "core/settings/config.h"
#include "core/settings/settings_file.h"
#include "seam/fake/fake_config_view.h"
#include "seam/fake/fake_desktop.h"
#include "seam/fake/fake_files.h"
#include "seam/fake/fake_process.h"

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace loopster;
    const std::string settingsPath = "/config/loopster/tovren.txt";
    FakeFiles files;
    FakeConfigView view;
    FakeDesktop desktop;
    FakeProcess process("/s");
    Config config(view, files, desktop, process, FileLocations{settingsPath, "/state/marker"});
    PatternGlobals globals;

    files.put(settingsPath, std::string(reinterpret_cast<const char*>(data), size));
    LoadSettings(files, settingsPath, config, globals);

    check(globals.FrameRate >= Config::kScrollMin && globals.FrameRate <= Config::kScrollMax);
    check(globals.LineWidth == 1 || globals.LineWidth == 2);
    check(config.HScroll1() == globals.FrameRate);
    // The saver reads the settings without building the dialog's window, so the controls' state
    // is the dialog logic's own.
    check(config.Text1() == integerText(globals.FrameRate));
    check(config.Option1() == (globals.LineWidth == 1));
    check(files.writes(settingsPath) == 0);
    return 0;
}
