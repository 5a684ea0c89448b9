// The saver window's exit rules against a fake window and process.
#include "core/saver/screeen.h"

#include <gtest/gtest.h>

#include "seam/fake/fake_process.h"
#include "seam/fake/fake_saver_window.h"

namespace loopster {
namespace {

struct Rig {
    CallLog log;
    FakeSaverWindow window{log};
    FakeProcess process{"/s", &log};
    Screeen screeen{window, process};

    Rig() { window.setEventHandler(&screeen); }
};

TEST(Screeen, TwoPointerMovesStayTheThirdEnds) {
    Rig rig;
    rig.screeen.onMouseMove(1919.0f, 1079.0f);
    rig.screeen.onMouseMove(500.0f, 400.0f);
    EXPECT_TRUE(rig.log.calls().empty());
    EXPECT_EQ(rig.screeen.MoveCount(), 2);

    // Even a third report at the parked corner ends the saver.
    EXPECT_THROW(rig.screeen.onMouseMove(1919.0f, 1079.0f), ProcessEnded);
    EXPECT_EQ(rig.log.calls(), (std::vector<std::string>{"close", "endProcess 0"}));
    EXPECT_EQ(rig.screeen.MoveCount(), 3);
}

TEST(Screeen, AnyKeyButtonOrClickClosesTheWindowWhichEndsTheProcess) {
    const std::vector<std::string> ends = {"close", "endProcess 0"};
    for (int key : {16, 65, 27, 0}) {
        Rig rig;
        EXPECT_THROW(rig.screeen.onKeyDown(key), ProcessEnded) << key;
        EXPECT_EQ(rig.log.calls(), ends);
    }
    for (int button : {1, 2, 4}) {
        Rig rig;
        EXPECT_THROW(rig.screeen.onMouseDown(button), ProcessEnded) << button;
        EXPECT_EQ(rig.log.calls(), ends);
    }
    Rig click;
    EXPECT_THROW(click.screeen.onClick(), ProcessEnded);
    EXPECT_EQ(click.log.calls(), ends);
}

TEST(Screeen, ACloseRequestFromTheSystemEndsTheProcessSilently) {
    Rig rig;
    EXPECT_THROW(rig.screeen.onClose(), ProcessEnded);
    EXPECT_EQ(rig.log.calls(), std::vector<std::string>{"endProcess 0"});
    EXPECT_TRUE(rig.process.fatalErrors().empty());
    EXPECT_EQ(rig.process.exitCode(), 0);
}

}  // namespace
}  // namespace loopster
