// The settings dialog's logic against a fake window and fake files: the load step and its marker,
// the scroll bar writing Text1, OK saving and ending, the close button ending without saving.
#include "core/settings/config.h"

#include <gtest/gtest.h>

#include <string>

#include "core/pattern/pattern_globals.h"
#include "core/settings/settings_file.h"

#include "seam/fake/fake_config_view.h"
#include "seam/fake/fake_desktop.h"
#include "seam/fake/fake_files.h"
#include "seam/fake/fake_process.h"

namespace loopster {
namespace {

const std::string kSettings = "/cfg/loopster/tovren.txt";
const std::string kMarker = "/state/loopster/tovren.txt";

class ConfigTest : public ::testing::Test {
  protected:
    FakeFiles files;
    FakeConfigView view;
    FakeDesktop desktop;
    FakeProcess process{"/c"};
    Config config{view, files, desktop, process, FileLocations{kSettings, kMarker}};
};

TEST_F(ConfigTest, NothingHappensBeforeTheFirstTouch) {
    EXPECT_FALSE(config.isLoaded());
    EXPECT_EQ(view.creates(), 0);
    EXPECT_EQ(files.lookups(), 0);
}

TEST_F(ConfigTest, ShowDisplaysTheDefaults) {
    config.Show();
    EXPECT_EQ(view.creates(), 1);
    EXPECT_TRUE(view.visible());
    EXPECT_EQ(view.text1(), "30");
    EXPECT_EQ(view.scrollValue(), 30);
    EXPECT_TRUE(view.option1());
}

TEST_F(ConfigTest, FirstLoadBeepsOnceAndWritesThe31ByteMarker) {
    config.Show();
    config.Text1();
    config.setHScroll1(50);
    EXPECT_EQ(desktop.beeps(), 1);
    EXPECT_EQ(view.creates(), 1);
    EXPECT_EQ(files.content(kMarker), "\"created by settings control\"\r\n");
    EXPECT_EQ(files.content(kMarker).size(), 31u);
}

TEST_F(ConfigTest, ExistingMarkerIsLeftAloneEvenWhenEmpty) {
    files.put(kMarker, "");
    config.Show();
    EXPECT_EQ(desktop.beeps(), 0);
    EXPECT_EQ(files.writes(kMarker), 0);
    EXPECT_EQ(files.content(kMarker), "");
}

// Every start tries again, and none of them beeps: the beep announces a marker just created.
TEST_F(ConfigTest, MarkerThatCannotBeCreatedIsSkippedWithoutABeep) {
    files.failWrites(kMarker, "Permission denied");
    EXPECT_NO_THROW(config.Show());
    for (int start = 2; start <= 3; ++start) {
        FakeConfigView nextView;
        Config next{nextView, files, desktop, process, FileLocations{kSettings, kMarker}};
        next.Show();
    }
    EXPECT_EQ(files.writes(kMarker), 3);
    EXPECT_EQ(desktop.beeps(), 0);
    EXPECT_FALSE(files.exists(kMarker));
    EXPECT_TRUE(view.visible());
    EXPECT_EQ(view.text1(), "30");
}

TEST_F(ConfigTest, SaverModeLoadsWithoutAWindowAndStillWritesTheMarker) {
    EXPECT_EQ(config.Text1(), "30");
    config.setHScroll1(50);
    config.selectOption(false);
    EXPECT_TRUE(config.isLoaded());
    EXPECT_EQ(view.creates(), 0);
    EXPECT_FALSE(view.hasHandler());
    EXPECT_EQ(view.shows(), 0);
    EXPECT_EQ(desktop.beeps(), 1);
    EXPECT_TRUE(files.exists(kMarker));
}

TEST_F(ConfigTest, ScrollChangeWritesText1) {
    config.Show();
    view.handler().onScrollChange(31);
    EXPECT_EQ(config.Text1(), "31");
    EXPECT_EQ(view.text1(), "31");
    EXPECT_EQ(config.HScroll1(), 31);
}

TEST_F(ConfigTest, SettingTheScrollBarFollowsWithText1AndHoldsItsRange) {
    config.Show();
    config.setHScroll1(100);
    EXPECT_EQ(view.scrollValue(), 100);
    EXPECT_EQ(view.text1(), "100");
    config.setHScroll1(101);
    EXPECT_EQ(config.HScroll1(), 100);
    config.setHScroll1(0);
    EXPECT_EQ(config.HScroll1(), 5);
    EXPECT_EQ(config.Text1(), "5");
}

TEST_F(ConfigTest, OptionClicksFormOneGroup) {
    config.Show();
    view.handler().onOptionClick(false);
    EXPECT_FALSE(config.Option1());
    EXPECT_FALSE(view.option1());
    view.handler().onOptionClick(true);
    EXPECT_TRUE(config.Option1());
}

TEST_F(ConfigTest, OkSavesUnloadsAndEndsTheProcess) {
    config.Show();
    view.handler().onScrollChange(100);
    view.handler().onOptionClick(false);
    EXPECT_THROW(view.handler().onOkClick(), ProcessEnded);
    EXPECT_EQ(files.content(kSettings), "100\r\n2\r\n");
    EXPECT_EQ(view.unloads(), 1);
    EXPECT_EQ(process.exitCode(), 0);
}

TEST_F(ConfigTest, CloseButtonEndsWithoutSaving) {
    files.put(kSettings, "77\r\n1\r\n");
    config.Show();
    view.handler().onScrollChange(12);
    EXPECT_THROW(view.handler().onCloseRequest(), ProcessEnded);
    EXPECT_EQ(files.writes(kSettings), 0);
    EXPECT_EQ(files.content(kSettings), "77\r\n1\r\n");
    EXPECT_EQ(view.unloads(), 1);
    EXPECT_EQ(process.exitCode(), 0);
}

TEST_F(ConfigTest, FailedSaveShowsFileAndReasonAndKeepsTheDialogOpen) {
    files.put(kSettings, "77\r\n1\r\n");
    files.failWrites(kSettings, "No space left on device");
    config.Show();
    EXPECT_NO_THROW(view.handler().onOkClick());
    ASSERT_EQ(view.errors().size(), 1u);
    EXPECT_NE(view.errors()[0].find(kSettings), std::string::npos);
    EXPECT_NE(view.errors()[0].find("No space left on device"), std::string::npos);
    EXPECT_EQ(view.unloads(), 0);
    EXPECT_TRUE(view.visible());
    EXPECT_FALSE(process.exitCode());
    EXPECT_EQ(files.content(kSettings), "77\r\n1\r\n");
}

// A file that is there but cannot be read, or that its owner made read-only, is never replaced
// unasked: one line says why, OK refuses with one line and the dialog stays open.
TEST_F(ConfigTest, UnreadableOrReadOnlySettingsFileIsNamedAndNeverReplaced) {
    const std::string userBytes = "77\r\n2\r\n";
    files.put(kSettings, userBytes);
    files.makeUnreadable(kSettings, kFileInUse);
    PatternGlobals globals;
    LoadSettings(files, kSettings, config, globals);
    config.Show();
    EXPECT_EQ(view.text1(), "30");
    ASSERT_EQ(view.errors().size(), 1u);
    const std::string& opened = view.errors()[0];
    EXPECT_NE(opened.find(kSettings + " could not be read: it is in use by another program"),
              std::string::npos);
    EXPECT_EQ(opened.find('\n'), std::string::npos);
    // Still refused once the other program lets go: the dialog never showed the file's values.
    for (int press = 0; press < 2; ++press) {
        EXPECT_NO_THROW(view.handler().onOkClick());
        files.makeReadable(kSettings);
    }
    ASSERT_EQ(view.errors().size(), 3u);
    EXPECT_NE(view.errors()[1].find("not saved"), std::string::npos);
    EXPECT_NE(view.errors()[1].find("it is in use by another program"), std::string::npos);
    EXPECT_EQ(view.errors()[1].find('\n'), std::string::npos);
    EXPECT_EQ(files.writes(kSettings), 0);
    EXPECT_EQ(files.content(kSettings), userBytes);
    EXPECT_TRUE(view.visible());
    EXPECT_FALSE(process.exitCode());

    FakeFiles otherFiles;
    FakeConfigView otherView;
    Config readOnly{otherView, otherFiles, desktop, process, FileLocations{kSettings, kMarker}};
    otherFiles.put(kSettings, userBytes);
    LoadSettings(otherFiles, kSettings, readOnly, globals);
    readOnly.Show();
    EXPECT_TRUE(otherView.errors().empty());
    // Made read-only while the dialog is open counts too.
    otherFiles.makeReadOnly(kSettings);
    EXPECT_NO_THROW(otherView.handler().onOkClick());
    ASSERT_EQ(otherView.errors().size(), 1u);
    EXPECT_NE(otherView.errors()[0].find(kSettings + " is read-only and is left as it is"),
              std::string::npos);
    EXPECT_EQ(otherFiles.writes(kSettings), 0);
    EXPECT_EQ(otherFiles.content(kSettings), userBytes);
    EXPECT_TRUE(otherView.visible());
}

}  // namespace
}  // namespace loopster
