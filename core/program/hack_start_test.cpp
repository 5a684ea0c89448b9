// The hack's start against fakes: its options, the window it picks, and a run that takes the
// settings file and the overrides but writes no marker, beeps not and parks no pointer.
#include "core/program/hack_start.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "seam/fake/fake_clock.h"
#include "seam/fake/fake_files.h"
#include "seam/fake/fake_gdi.h"
#include "seam/fake/fake_process.h"
#include "seam/fake/fake_random.h"
#include "seam/fake/fake_saver_window.h"

namespace loopster {
namespace {

const std::string kSettings = "/home/u/.config/loopster/tovren.txt";

HackOptions parse(std::vector<std::string> words, const char* environment = nullptr) {
    return parseHackOptions(words, environment);
}

TEST(HackOptions, WindowComesFromTheOptionThenTheDaemonThenTheRoot) {
    EXPECT_EQ(parseWindowId("0x600008"), 0x600008u);
    EXPECT_EQ(parseWindowId("0X1f"), 0x1Fu);
    EXPECT_EQ(parseWindowId("6291464"), 6291464u);
    for (const char* bad : {"", "0", "0x", "-5", "12ab", "0x1g", "4294967296", " 7"}) {
        EXPECT_EQ(parseWindowId(bad), std::nullopt) << bad;
    }

    EXPECT_EQ(parse({"--window-id", "0x42"}, "0x600008").windowId, 0x42u);
    EXPECT_EQ(parse({"-window-id=99", "--root"}, "0x600008").windowId, 99u);
    // The daemon's window stands in for the root window, as a virtual root does.
    const HackOptions daemon = parse({"--root"}, "0x600008");
    EXPECT_EQ(daemon.windowId, 0x600008u);
    EXPECT_TRUE(daemon.problems.empty());
    const HackOptions root = parse({"-root"}, "");
    EXPECT_TRUE(root.root);
    EXPECT_EQ(root.windowId, std::nullopt);
    EXPECT_TRUE(root.hasTarget());
    EXPECT_FALSE(parse({}).hasTarget());

    // A bad id is reported and the next source is taken.
    const HackOptions bad = parse({"--window-id", "zz", "--root"}, "junk");
    EXPECT_EQ(bad.windowId, std::nullopt);
    EXPECT_TRUE(bad.root);
    EXPECT_EQ(bad.problems.size(), 2u);
}

TEST(HackOptions, RateAndWidthOverrideOnlyWithGoodValues) {
    const HackOptions good = parse({"--rate", "100", "--heavy", "--root"});
    EXPECT_EQ(good.frameRate, 100);
    EXPECT_EQ(good.light, false);
    EXPECT_TRUE(good.problems.empty());
    EXPECT_EQ(parse({"-rate=5", "-heavy", "--light"}).frameRate, 5);
    EXPECT_EQ(parse({"-rate=5", "-heavy", "--light"}).light, true);

    for (const char* value : {"4", "101", "30.5", "abc", "", "-30", "99999999999"}) {
        const HackOptions bad = parse({"--rate", value});
        EXPECT_EQ(bad.frameRate, std::nullopt) << value;
        ASSERT_EQ(bad.problems.size(), 1u) << value;
        EXPECT_NE(bad.problems[0].find("--rate"), std::string::npos);
    }
    // A missing value, an unknown option, a stray word and a value on a switch: one line each.
    const HackOptions odd = parse({"stray", "--fps", "--light=1", "--rate"});
    EXPECT_EQ(odd.problems.size(), 4u);
    EXPECT_EQ(odd.light, std::nullopt);
    EXPECT_EQ(odd.frameRate, std::nullopt);
}

// Ends the run with a signal-like end 1 ms into the first frame's wait.
struct HackRig {
    CallLog log;
    FakeProcess process{"", &log};
    FakeFiles files;
    FakeClock clock{1000};
    FakeEventLoop events{clock, &log};
    FakeRandom random{std::vector<float>{0.5f}};
    FakeGdi gdi{log};
    FakeSaverWindow window{log};
    HackServices services{process, files, clock, events, random, gdi, window};
    std::unique_ptr<SaverState> state = std::make_unique<SaverState>();

    int run(const HackOptions& options) {
        events.at(clock.now() + 1, [this] { process.endProcess(0); });
        return exitCodeOf([&] { RunHack(services, kSettings, options, *state); }).value_or(-1);
    }
};

TEST(RunHack, TakesTheSettingsFileThenTheOverridesAndTouchesNothingElse) {
    HackRig plain;
    plain.files.put(kSettings, "45\r\n2\r\n");
    EXPECT_EQ(plain.run(parse({"--root"})), 0);
    EXPECT_EQ(plain.state->globals.FrameRate, 45);
    EXPECT_EQ(plain.gdi.lastPen().width, 2);
    EXPECT_EQ(plain.log.count("wait 22"), 1u);
    EXPECT_EQ(plain.state->globals.FixedGearSize, 100.0);
    EXPECT_TRUE(plain.random.seeded());
    // No instance lock and no marker: the settings file is the only file it looks at.
    EXPECT_EQ(plain.log.count("previousInstance"), 0u);
    EXPECT_EQ(plain.files.lookups(), 1);
    EXPECT_EQ(plain.window.handler(), nullptr);

    HackRig overridden;
    overridden.files.put(kSettings, "45\r\n2\r\n");
    EXPECT_EQ(overridden.run(parse({"--rate", "10", "--light"})), 0);
    EXPECT_EQ(overridden.state->globals.FrameRate, 10);
    EXPECT_EQ(overridden.gdi.lastPen().width, 1);
    EXPECT_EQ(overridden.log.count("wait 100"), 1u);
    EXPECT_EQ(overridden.files.content(kSettings), "45\r\n2\r\n");

    HackRig defaults;
    EXPECT_EQ(defaults.run(parse({"--rate", "500"})), 0);
    EXPECT_EQ(defaults.state->globals.FrameRate, 30);
    EXPECT_EQ(defaults.gdi.lastPen().width, 1);
}

}  // namespace
}  // namespace loopster
