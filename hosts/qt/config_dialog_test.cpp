// The Qt settings dialog under the offscreen platform, driven by real mouse and key events, with
// the real dialog logic behind it and files in memory. OK and the close button end the process,
// which the fake process does by throwing; so that the throw never crosses Qt's event dispatch,
// those two clicks are noted while Qt delivers them and handed to the logic once the event returns.
#include "hosts/qt/config_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <cstdlib>
#include <string>

#include "core/settings/config.h"
#include "core/settings/settings_file.h"
#include "seam/fake/fake_desktop.h"
#include "seam/fake/fake_files.h"
#include "seam/fake/fake_process.h"

namespace loopster {
namespace {

const std::string kSettings = "/home/u/.config/loopster/tovren.txt";
const std::string kMarker = "/home/u/.local/state/loopster/tovren.txt";

// Passes scroll and option clicks straight through; holds OK and close until replay().
class DeferringView final : public ConfigView, private ConfigEvents {
  public:
    explicit DeferringView(QtConfigView& inner) : m_inner(inner) {}

    void setEventHandler(ConfigEvents* handler) override {
        m_logic = handler;
        m_inner.setEventHandler(this);
    }
    void create() override { m_inner.create(); }
    void showText1(const std::string& text) override { m_inner.showText1(text); }
    void showScrollValue(int value) override { m_inner.showScrollValue(value); }
    void showOption1(bool light) override { m_inner.showOption1(light); }
    void show() override { m_inner.show(); }
    void unload() override { m_inner.unload(); }
    void showError(const std::string& message) override { m_inner.showError(message); }

    int pending() const { return m_okClicks + m_closeRequests; }
    void replay() {
        for (; m_okClicks > 0; --m_okClicks) {
            m_logic->onOkClick();
        }
        for (; m_closeRequests > 0; --m_closeRequests) {
            m_logic->onCloseRequest();
        }
    }

  private:
    void onScrollChange(int value) override { m_logic->onScrollChange(value); }
    void onOptionClick(bool light) override { m_logic->onOptionClick(light); }
    void onOkClick() override { ++m_okClicks; }
    void onCloseRequest() override { ++m_closeRequests; }

    QtConfigView& m_inner;
    ConfigEvents* m_logic = nullptr;
    int m_okClicks = 0;
    int m_closeRequests = 0;
};

class ConfigDialogTest : public ::testing::Test {
  protected:
    void TearDown() override {
        // Windows unloaded by the logic are deleted by the event loop.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QDialog* dialog() const { return qtView.window(); }
    template <typename Widget>
    Widget* control(const char* name) const {
        auto* widget = dialog()->findChild<Widget*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QString text1() const { return control<QLineEdit>("Text1")->text(); }
    QScrollBar* scroll() const { return control<QScrollBar>("HScroll1"); }
    QRect scrollPart(QStyle::SubControl part) const {
        QStyleOptionSlider option;
        option.initFrom(scroll());
        option.orientation = Qt::Horizontal;
        option.minimum = scroll()->minimum();
        option.maximum = scroll()->maximum();
        option.sliderPosition = scroll()->sliderPosition();
        option.sliderValue = scroll()->value();
        option.singleStep = scroll()->singleStep();
        option.pageStep = scroll()->pageStep();
        option.upsideDown = scroll()->invertedAppearance();
        option.subControls = QStyle::SC_All;
        return scroll()->style()->subControlRect(QStyle::CC_ScrollBar, &option, part, scroll());
    }
    void mouse(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, target->mapToGlobal(at), Qt::LeftButton, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    }

    FakeFiles files;
    FakeDesktop desktop;
    FakeProcess process{"/c"};
    QtConfigView qtView{kSettings};
    DeferringView view{qtView};
    Config config{view, files, desktop, process, FileLocations{kSettings, kMarker}};
};

TEST_F(ConfigDialogTest, OpensWithTheDefaultsAndTheFocusOnOk) {
    config.Show();
    ASSERT_NE(dialog(), nullptr);
    EXPECT_TRUE(dialog()->isVisible());
    EXPECT_EQ(dialog()->windowTitle(), "loopster configure");
    EXPECT_EQ(text1(), "30");
    EXPECT_FALSE(control<QLineEdit>("Text1")->isEnabled());
    EXPECT_EQ(scroll()->value(), 30);
    EXPECT_EQ(scroll()->minimum(), 5);
    EXPECT_EQ(scroll()->maximum(), 100);
    EXPECT_EQ(scroll()->singleStep(), 1);
    EXPECT_EQ(scroll()->pageStep(), 1);
    EXPECT_TRUE(control<QRadioButton>("Option1")->isChecked());
    EXPECT_FALSE(control<QRadioButton>("Option2")->isChecked());
    EXPECT_EQ(dialog()->focusWidget(), control<QPushButton>("Command1"));
    EXPECT_EQ(desktop.beeps(), 1);
}

TEST_F(ConfigDialogTest, ControlsSitAtTheirTwipPlacesWithTheirCaptions) {
    config.Show();
    const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInch();
    const auto px = [dpi](int twips) { return twipsToPixels(twips, dpi); };
    EXPECT_EQ(dialog()->size(), QSize(px(2430), px(2820)));
    struct Expected {
        const char* name;
        const char* caption;
        int left, top, width, height;
    };
    for (const Expected& e : {
             Expected{"Label1", nullptr, 120, 120, 2175, 855},
             Expected{"HScroll1", nullptr, 120, 1080, 1575, 255},
             Expected{"Text1", nullptr, 1800, 1080, 495, 285},
             Expected{"Label4", "max frame rate", 120, 1320, 1575, 255},
             Expected{"Label5", "fps", 1800, 1320, 495, 255},
             Expected{"Frame1", "line width", 120, 1680, 2175, 615},
             Expected{"Option1", "Option1", 120, 240, 255, 255},
             Expected{"Label3", "light", 360, 240, 495, 255},
             Expected{"Option2", "Option2", 1200, 240, 255, 255},
             Expected{"Label2", "heavy", 1440, 240, 735, 255},
             Expected{"Command1", "OK", 840, 2400, 735, 375},
         }) {
        SCOPED_TRACE(e.name);
        QWidget* widget = control<QWidget>(e.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), QRect(px(e.left), px(e.top), px(e.width), px(e.height)));
        if (e.caption != nullptr) {
            QString caption;
            if (auto* label = qobject_cast<QLabel*>(widget)) {
                caption = label->text();
            } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
                caption = button->text();
            } else if (auto* frame = qobject_cast<QGroupBox*>(widget)) {
                caption = frame->title();
            }
            EXPECT_EQ(caption, e.caption);
        }
    }
    for (const char* inFrame : {"Option1", "Label3", "Option2", "Label2"}) {
        EXPECT_EQ(control<QWidget>(inFrame)->parentWidget(), control<QWidget>("Frame1"));
    }
    EXPECT_FALSE(control<QLabel>("Label1")->text().isEmpty());
}

TEST_F(ConfigDialogTest, TabGoesFromOkToTheScrollBarAndThenTheMarks) {
    config.Show();
    std::vector<QString> order;
    QWidget* widget = control<QPushButton>("Command1");
    for (int i = 0; i < 4; ++i) {
        order.push_back(widget->objectName());
        do {
            widget = widget->nextInFocusChain();
        } while (!(widget->isEnabled() && (widget->focusPolicy() & Qt::TabFocus)));
    }
    EXPECT_EQ(order, (std::vector<QString>{"Command1", "HScroll1", "Option1", "Option2"}));
}

TEST_F(ConfigDialogTest, LoadedHeavyFileShowsHundredAndHeavy) {
    files.put(kSettings, "100\r\n2\r\n");
    PatternGlobals globals;
    LoadSettings(files, kSettings, config, globals);
    config.Show();
    EXPECT_EQ(text1(), "100");
    EXPECT_EQ(scroll()->value(), 100);
    EXPECT_TRUE(control<QRadioButton>("Option2")->isChecked());
    EXPECT_FALSE(control<QRadioButton>("Option1")->isChecked());
}

TEST_F(ConfigDialogTest, RightArrowTroughAndArrowKeysStepByOne) {
    config.Show();
    QTest::mouseClick(scroll(), Qt::LeftButton, {},
                      scrollPart(QStyle::SC_ScrollBarAddLine).center());
    EXPECT_EQ(text1(), "31");
    EXPECT_EQ(config.Text1(), "31");
    QTest::mouseClick(scroll(), Qt::LeftButton, {},
                      scrollPart(QStyle::SC_ScrollBarSubPage).topLeft() + QPoint(1, 1));
    EXPECT_EQ(text1(), "30");

    // Right and Up raise the rate, Left and Down lower it.
    scroll()->setFocus();
    QTest::keyClick(scroll(), Qt::Key_Right);
    EXPECT_EQ(text1(), "31");
    QTest::keyClick(scroll(), Qt::Key_Up);
    EXPECT_EQ(text1(), "32");
    QTest::keyClick(scroll(), Qt::Key_Left);
    QTest::keyClick(scroll(), Qt::Key_Left);
    QTest::keyClick(scroll(), Qt::Key_Down);
    EXPECT_EQ(text1(), "29");
    EXPECT_EQ(config.Text1(), "29");
}

TEST_F(ConfigDialogTest, Text1WaitsForTheDraggedThumbToBeReleased) {
    config.Show();
    const QPoint grab = scrollPart(QStyle::SC_ScrollBarSlider).center();
    const QPoint end = scrollPart(QStyle::SC_ScrollBarAddLine).topLeft() - QPoint(2, 0);
    mouse(scroll(), QEvent::MouseButtonPress, grab, Qt::LeftButton);
    mouse(scroll(), QEvent::MouseMove, QPoint((grab.x() + end.x()) / 2, grab.y()), Qt::LeftButton);
    mouse(scroll(), QEvent::MouseMove, QPoint(end.x(), grab.y()), Qt::LeftButton);
    EXPECT_TRUE(scroll()->isSliderDown());
    EXPECT_GT(scroll()->sliderPosition(), 30);
    EXPECT_EQ(text1(), "30");
    EXPECT_EQ(config.Text1(), "30");
    mouse(scroll(), QEvent::MouseButtonRelease, QPoint(end.x(), grab.y()), Qt::NoButton);
    EXPECT_EQ(text1(), QString::number(scroll()->value()));
    EXPECT_GT(scroll()->value(), 30);
    EXPECT_EQ(config.Text1(), text1().toStdString());
}

TEST_F(ConfigDialogTest, OnlyTheRoundMarksSelectNotTheWords) {
    config.Show();
    QTest::mouseClick(control<QLabel>("Label2"), Qt::LeftButton);
    EXPECT_TRUE(config.Option1());
    QTest::mouseClick(control<QRadioButton>("Option2"), Qt::LeftButton);
    EXPECT_FALSE(config.Option1());
    EXPECT_FALSE(control<QRadioButton>("Option1")->isChecked());
    QTest::mouseClick(control<QLabel>("Label3"), Qt::LeftButton);
    EXPECT_FALSE(config.Option1());
    EXPECT_TRUE(control<QRadioButton>("Option2")->isChecked());
}

TEST_F(ConfigDialogTest, OkWritesTheFileAndEndsTheProcess) {
    config.Show();
    QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
    ASSERT_EQ(view.pending(), 1);
    EXPECT_THROW(view.replay(), ProcessEnded);
    EXPECT_EQ(files.content(kSettings), "30\r\n1\r\n");
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_EQ(dialog(), nullptr);
}

TEST_F(ConfigDialogTest, EnterOnTheFocusedOkSaves) {
    config.Show();
    QTest::keyClick(control<QPushButton>("Command1"), Qt::Key_Return);
    EXPECT_EQ(view.pending(), 1);
}

TEST_F(ConfigDialogTest, CloseButtonWritesNothingAndEscapeDoesNothing) {
    config.Show();
    QTest::keyClick(dialog(), Qt::Key_Escape);
    EXPECT_TRUE(dialog()->isVisible());
    EXPECT_EQ(view.pending(), 0);
    dialog()->close();
    ASSERT_EQ(view.pending(), 1);
    EXPECT_THROW(view.replay(), ProcessEnded);
    EXPECT_EQ(files.writes(kSettings), 0);
    EXPECT_FALSE(files.exists(kSettings));
    EXPECT_EQ(process.exitCode(), 0);
}

TEST_F(ConfigDialogTest, FailedSaveShowsAMessageAndTheDialogStays) {
    files.failWrites(kSettings, "Cannot write the file: Read-only file system");
    config.Show();
    QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
    EXPECT_NO_THROW(view.replay());
    auto* box = dialog()->findChild<QMessageBox*>("SaveError");
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    EXPECT_TRUE(box->text().contains(QString::fromStdString(kSettings)));
    EXPECT_TRUE(box->text().contains("Read-only file system"));
    EXPECT_TRUE(dialog()->isVisible());
    EXPECT_FALSE(process.exitCode());
}

TEST_F(ConfigDialogTest, SaverModeLoadsWithoutBuildingTheWindow) {
    EXPECT_EQ(config.Text1(), "30");
    EXPECT_EQ(dialog(), nullptr);
    EXPECT_EQ(files.content(kMarker), kMarkerContent);
}

}  // namespace
}  // namespace loopster

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
