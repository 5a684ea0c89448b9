// Main against fakes: every command line, the second instance, the saver mode's start values and a
// fatal error inside the guard.
#include "core/program/entry.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/run_error.h"
#include "seam/fake/fake_clock.h"
#include "seam/fake/fake_config_view.h"
#include "seam/fake/fake_desktop.h"
#include "seam/fake/fake_files.h"
#include "seam/fake/fake_gdi.h"
#include "seam/fake/fake_process.h"
#include "seam/fake/fake_random.h"
#include "seam/fake/fake_saver_window.h"

namespace loopster {
namespace {

const FileLocations kLocations{"/home/u/.config/loopster/tovren.txt",
                               "/home/u/.local/state/loopster/tovren.txt"};

// All random draws are 0.5: the first pattern keeps the start gears.
struct Rig {
    CallLog log;
    FakeProcess process;
    FakeDesktop desktop;
    FakeFiles files;
    FakeClock clock{1000};
    FakeEventLoop events{clock, &log};
    FakeRandom random{std::vector<float>{0.5f}};
    FakeGdi gdi{log};
    FakeSaverWindow window{log};
    FakeConfigView view;
    Platform platform{process, desktop, files,  clock, events,
                      random,  gdi,     window, view,  kLocations};
    Config config{view, files, desktop, process, kLocations};
    std::unique_ptr<SaverState> state = std::make_unique<SaverState>();

    explicit Rig(std::string commandLine, double widthTwips = 28800.0, double heightTwips = 16200.0)
        : process(std::move(commandLine), &log), desktop(&log, widthTwips, heightTwips) {}

    // Ends the saver with a key 1 ms into the first frame's wait. Returns the exit code, or
    // nothing when Main returned.
    std::optional<int> run() {
        events.at(clock.now() + 1, [this] { window.handler()->onKeyDown(16); });
        return exitCodeOf([this] { Main(platform, *state, config); });
    }

    bool windowTouched() const { return log.indexOf("scaleHeight") < log.calls().size(); }
};

TEST(Main, OnlyExactlySlashSRunsTheSaverAndOnlySlashCOpensTheDialog) {
    for (const char* line : {"/C", "/s ", " /s", "/S", "", "/p 123", "/a", "/sc", "c"}) {
        Rig rig(line);
        EXPECT_EQ(rig.run(), 0) << '"' << line << '"';
        EXPECT_FALSE(rig.windowTouched()) << line;
        EXPECT_FALSE(rig.desktop.cursor().has_value()) << line;
        EXPECT_FALSE(rig.random.seeded()) << line;
        EXPECT_FALSE(rig.view.visible()) << line;
    }
    for (const char* line : {"/c", "/c:123", "/c 456", "/cx"}) {
        Rig rig(line);
        EXPECT_EQ(rig.run(), std::nullopt) << line;
        EXPECT_TRUE(rig.view.visible()) << line;
        EXPECT_FALSE(rig.windowTouched()) << line;
        EXPECT_FALSE(rig.desktop.cursor().has_value()) << line;
        EXPECT_FALSE(rig.process.exitCode().has_value()) << line;
    }
    Rig saver("/s");
    EXPECT_EQ(saver.run(), 0);
    EXPECT_TRUE(saver.windowTouched());
    EXPECT_EQ(saver.gdi.polylines(), 1u);
}

TEST(Main, ASecondInstanceEndsAtOnceWhateverTheCommandLine) {
    for (const char* line : {"/s", "/c", "/p 1"}) {
        Rig rig(line);
        rig.process.setPreviousInstance(true);
        EXPECT_EQ(rig.run(), 0);
        EXPECT_EQ(rig.log.calls(), (std::vector<std::string>{"previousInstance", "endProcess 0"}));
        EXPECT_FALSE(rig.view.visible());
        EXPECT_EQ(rig.view.creates(), 0);
        EXPECT_EQ(rig.files.lookups(), 0);
        EXPECT_FALSE(rig.files.exists(kLocations.markerFile));
    }
}

TEST(Main, SaverModeWithoutSettingsFileStartsAtThirtyFpsLightLinesGears100And40) {
    Rig rig("/s", 28800.5, 16201.5);
    rig.clock.setSecondsSinceMidnight(3723.5f);
    SaverState& state = *rig.state;
    state.globals.FillRatio = 1.0;
    state.globals.PiValue = 3.0;
    state.globals.FixedGearSize = 7.0;
    state.globals.RollingGearSize = 9;
    state.globals.FrameRate = 99;
    state.globals.LineWidth = 5;
    EXPECT_EQ(rig.run(), 0);

    EXPECT_EQ(state.globals.FillRatio, 0.85);
    EXPECT_EQ(state.globals.PiValue, 3.141592654);
    EXPECT_EQ(state.globals.FixedGearSize, 100.0);
    EXPECT_EQ(state.globals.RollingGearSize, 40);
    EXPECT_EQ(state.globals.FrameRate, 30);
    EXPECT_EQ(state.globals.LineWidth, 1);
    EXPECT_TRUE(rig.random.seeded());
    EXPECT_EQ(rig.random.seedValue(), 3723.5f);

    // Twips rounded half to even, and the pointer parked before the window is first touched.
    ASSERT_TRUE(rig.desktop.cursor().has_value());
    EXPECT_EQ(*rig.desktop.cursor(), (std::pair{28800, 16202}));
    EXPECT_LT(rig.log.indexOf("SetCursorPos"), rig.log.indexOf("scaleHeight"));
    EXPECT_EQ(rig.gdi.lastPen().width, 1);
    EXPECT_EQ(rig.log.count("wait 33"), 1u);
}

TEST(Main, SettingsFileIsReadInBothModesBeforeAnythingIsShown) {
    Rig saver("/s");
    saver.files.put(kLocations.settingsFile, "45\r\n2\r\n");
    EXPECT_EQ(saver.run(), 0);
    EXPECT_EQ(saver.state->globals.FrameRate, 45);
    EXPECT_EQ(saver.state->globals.LineWidth, 2);
    EXPECT_EQ(saver.gdi.lastPen().width, 2);
    // 1000 / 45 = 22.2 ms.
    EXPECT_EQ(saver.log.count("wait 22"), 1u);

    Rig dialog("/c");
    dialog.files.put(kLocations.settingsFile, "45\r\n2\r\n");
    EXPECT_EQ(dialog.run(), std::nullopt);
    EXPECT_TRUE(dialog.view.visible());
    EXPECT_EQ(dialog.view.text1(), "45");
    EXPECT_FALSE(dialog.view.option1());

    // A folder of the file's name is no file to the lookup, and still no place for the defaults.
    Rig folder("/c");
    folder.files.makeUnreadable(kLocations.settingsFile, kFileIsFolder);
    EXPECT_EQ(folder.run(), std::nullopt);
    ASSERT_EQ(folder.view.errors().size(), 1u);
    EXPECT_NE(folder.view.errors()[0].find("could not be read: it is a folder"), std::string::npos);
}

TEST(Main, AFrameRateTextOutsideSixteenBitsIsTheOverflowError) {
    Rig rig("/s");
    rig.config.setText1("40000");
    EXPECT_EQ(exitCodeOf([&rig] {
                  runGuarded(rig.process, [&rig] { Main(rig.platform, *rig.state, rig.config); });
              }),
              1);
    EXPECT_EQ(rig.process.fatalErrors(),
              std::vector<std::string>{standardMessage(ErrorKind::Overflow)});
    EXPECT_FALSE(rig.windowTouched());
}

}  // namespace
}  // namespace loopster
