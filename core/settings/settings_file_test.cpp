// The settings file: exact bytes written, the field rules of the reader, and the sound reading of
// files that are short, odd or huge (values held to 5..100, missing values keep the defaults).
#include "core/settings/settings_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "seam/fake/fake_config_view.h"
#include "seam/fake/fake_desktop.h"
#include "seam/fake/fake_files.h"
#include "seam/fake/fake_process.h"

namespace loopster {
namespace {

const std::string kSettings = "/home/u/.config/loopster/tovren.txt";
const std::string kMarker = "/home/u/.local/state/loopster/tovren.txt";

class SettingsFileTest : public ::testing::Test {
  protected:
    void load(const std::string& content) {
        files.put(kSettings, content);
        LoadSettings(files, kSettings, config, globals);
    }
    // The controls, the globals, and the window once it is shown.
    void expectShown(int rate, bool light) {
        EXPECT_EQ(config.Text1(), std::to_string(rate));
        EXPECT_EQ(config.HScroll1(), rate);
        EXPECT_EQ(config.Option1(), light);
        config.Show();
        EXPECT_EQ(view.text1(), std::to_string(rate));
        EXPECT_EQ(view.scrollValue(), rate);
        EXPECT_EQ(view.option1(), light);
        EXPECT_EQ(globals.FrameRate, rate);
        EXPECT_EQ(globals.LineWidth, light ? 1 : 2);
    }

    FakeFiles files;
    FakeConfigView view;
    FakeDesktop desktop;
    FakeProcess process{"/c"};
    Config config{view, files, desktop, process, FileLocations{kSettings, kMarker}};
    PatternGlobals globals;
};

TEST_F(SettingsFileTest, SaveWritesExactlyTheTwoCrLfLines) {
    ASSERT_FALSE(SaveSettings(files, kSettings, config));
    EXPECT_EQ(files.content(kSettings), std::string("\x33\x30\x0D\x0A\x31\x0D\x0A"));

    config.setHScroll1(100);
    config.selectOption(false);
    ASSERT_FALSE(SaveSettings(files, kSettings, config));
    EXPECT_EQ(files.content(kSettings), std::string("\x31\x30\x30\x0D\x0A\x32\x0D\x0A"));
}

TEST_F(SettingsFileTest, SaveFailureLeavesTheOldFileAndGivesTheReason) {
    files.put(kSettings, "77\r\n2\r\n");
    files.failWrites(kSettings, "Permission denied");
    const auto failure = SaveSettings(files, kSettings, config);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->reason, "Permission denied");
    EXPECT_EQ(files.content(kSettings), "77\r\n2\r\n");
}

TEST_F(SettingsFileTest, SavedFileReadsBackTheSameValues) {
    config.setHScroll1(64);
    config.selectOption(false);
    ASSERT_FALSE(SaveSettings(files, kSettings, config));
    const SettingsFields fields = parseSettings(files.content(kSettings));
    EXPECT_EQ(fields.frameRate, 64.0);
    EXPECT_EQ(fields.lineWidthCode, 2.0);
}

TEST(SettingsFieldReader, SplitsAtCommasAndLineEndsSkipsBlanksAndUnquotes) {
    SettingsFieldReader reader(" a , b\r\n\t\"c,d\" x,e\n\nf\rg");
    std::vector<std::string> fields;
    while (const auto field = reader.next()) {
        fields.push_back(*field);
    }
    EXPECT_EQ(fields, (std::vector<std::string>{"a", "b", "c,d", "e", "", "f", "g"}));
}

TEST(SettingsFieldReader, UnclosedQuoteRunsToTheEnd) {
    SettingsFieldReader reader("\"45,2\r\n");
    EXPECT_EQ(reader.next(), "45,2\r\n");
    EXPECT_FALSE(reader.next());
}

TEST_F(SettingsFileTest, SecondFieldBelowTwoIsLightTwoAndAboveHeavy) {
    struct Case {
        const char* second;
        bool light;
    };
    for (const Case& c :
         {Case{"1", true}, Case{"2", false}, Case{"3", false}, Case{"", true}, Case{"0", true},
          Case{"-3", true}, Case{"1.9", true}, Case{"\"heavy\"", true}, Case{"40000", false},
          Case{"1.99999", true}, Case{"2.0", false}}) {
        SCOPED_TRACE(c.second);
        // Starting from the other choice, so that the file must make this one.
        config.selectOption(!c.light);
        load(std::string("30\r\n") + c.second + "\r\n");
        expectShown(30, c.light);
    }
}

TEST_F(SettingsFileTest, HeavyFileSelectsOption2AndSetsEveryControl) {
    load("100\r\n2\r\n");
    expectShown(100, false);
    EXPECT_EQ(files.writes(kSettings), 0);
}

TEST_F(SettingsFileTest, BlankSecondLineMeansLight) {
    load("42\r\n\r\n");
    expectShown(42, true);
}

TEST_F(SettingsFileTest, OneLineWithCommaReadsLikeTwoLines) {
    load("45,2");
    expectShown(45, false);
}

TEST_F(SettingsFileTest, LfAndCrLineEndsReadAlike) {
    EXPECT_EQ(parseSettings("55\n2\n").frameRate, 55.0);
    EXPECT_EQ(parseSettings("55\n2\n").lineWidthCode, 2.0);
    EXPECT_EQ(parseSettings("55\r2").lineWidthCode, 2.0);
    load("55\n2\n");
    expectShown(55, false);
}

TEST_F(SettingsFileTest, ALeadingUtf8ByteOrderMarkIsSkippedOnlyAtTheStart) {
    load(
        "\xEF\xBB\xBF"
        "45\r\n2\r\n");
    expectShown(45, false);
    // Anywhere else the three bytes stay part of a field, which is then not a number.
    EXPECT_EQ(parseSettings("45\r\n\xEF\xBB\xBF"
                            "2\r\n")
                  .lineWidthCode,
              0.0);
    EXPECT_EQ(parseSettings(" \xEF\xBB\xBF"
                            "45\r\n2\r\n")
                  .frameRate,
              0.0);
}

TEST_F(SettingsFileTest, QuotedFieldsAreReadWithoutTheirQuotes) {
    load("  \"70\" trailing words\r\n \"2\"\r\n");
    expectShown(70, false);
}

TEST_F(SettingsFileTest, FrameRateIsRoundedHalfToEvenAndHeldToFiveToHundred) {
    struct Case {
        const char* text;
        int rate;
    };
    for (const Case& c :
         {Case{"100", 100}, Case{"101", 100}, Case{"40000", 100}, Case{"99999999999", 100},
          Case{"-1e999", 5}, Case{"1e999", 100}, Case{"1e-999", 5}, Case{"5", 5}, Case{"0", 5},
          Case{"-7", 5}, Case{"-40000", 5}, Case{"abc", 5}, Case{"", 5}, Case{"4.5", 5},
          Case{"30.5", 30}, Case{"31.5", 32}, Case{"1e2", 100}}) {
        SCOPED_TRACE(c.text);
        const auto rate = parseSettings(std::string(c.text) + "\r\n1\r\n").frameRate;
        ASSERT_TRUE(rate);
        EXPECT_EQ(clampFrameRate(*rate), c.rate);
    }
}

TEST_F(SettingsFileTest, OutOfRangeRateIsShownClamped) {
    load("101\r\n1\r\n");
    expectShown(100, true);
}

TEST_F(SettingsFileTest, OneLineFileKeepsTheDefaultWidth) {
    load("45\r\n");
    expectShown(45, true);
}

TEST_F(SettingsFileTest, EmptyFileKeepsEveryDefaultButLoadsTheDialog) {
    load("");
    expectShown(30, true);
    EXPECT_EQ(view.creates(), 1);
}

TEST_F(SettingsFileTest, UnreadableFileKeepsTheDefaults) {
    files.put(kSettings, "90\r\n2\r\n");
    files.makeUnreadable(kSettings);
    LoadSettings(files, kSettings, config, globals);
    expectShown(30, true);
}

TEST_F(SettingsFileTest, BinaryGarbageReadsAsTheLowestRate) {
    load(std::string("\0\xff\xfe\x01,\x80\x90\r\n", 10));
    expectShown(5, true);
}

TEST_F(SettingsFileTest, HugeFileIsReadOnlyAtItsStart) {
    load("80\r\n2\r\n" + std::string(10 * 1024 * 1024, 'x'));
    expectShown(80, false);
    EXPECT_LE(files.largestRead(), kSettingsReadLimit);

    EXPECT_EQ(clampFrameRate(*parseSettings(std::string(10 * 1024 * 1024, '7')).frameRate), 100);
}

TEST_F(SettingsFileTest, LoadingIsTheFirstTouchAndWritesTheMarkerOnce) {
    load("60\r\n2\r\n");
    EXPECT_EQ(desktop.beeps(), 1);
    EXPECT_EQ(files.content(kMarker), kMarkerContent);
    EXPECT_EQ(view.shows(), 0);
    expectShown(60, false);
}

}  // namespace
}  // namespace loopster
