// The settings dialog's window as every platform draws it: the caption, the client area and each
// control with its name, kind, caption, place in twips and tab index, the scroll bar's range and
// the notice in Label1. The Qt and Win32 views both build their windows from this one table; only
// how a kind of control looks and behaves on the system is theirs.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "core/settings/config.h"

namespace loopster {

inline constexpr const char* kConfigCaption = "loopster configure";
inline constexpr int kConfigClientWidthTwips = 2430;
inline constexpr int kConfigClientHeightTwips = 2820;

// HScroll1's range, the logic's own, so the bar offers exactly the rates the file accepts. Both
// steps, arrow and trough, are 1.
inline constexpr int kConfigScrollMin = Config::kScrollMin;
inline constexpr int kConfigScrollMax = Config::kScrollMax;
inline constexpr int kConfigScrollStep = 1;

enum class ControlKind {
    Label,
    ScrollBar,
    // Display-only: the frame rate is chosen with the scroll bar, so Text1 takes neither typing
    // nor the focus.
    TextBox,
    Frame,
    // The two option buttons form one group; a click selects one and clears the other.
    OptionButton,
    // The dialog's one command button, and so its default: Enter presses it.
    CommandButton,
};

struct TwipRect {
    int left;
    int top;
    int width;
    int height;
};

struct DialogControl {
    // The control's own name (Text1, HScroll1, ...): Qt's object name, and how the code finds it.
    const char* name;
    ControlKind kind;
    // Empty for the scroll bar and Text1, whose contents come from the logic, and for Label1,
    // whose notice is configNotice().
    const char* caption;
    int tabIndex;
    // From the client area's corner, or from the frame's corner for the members of Frame1.
    TwipRect place;
    bool inFrame;
    // Labels only: centred rather than left-aligned.
    bool centred;
};

// In tab-index order, which is also the order in which the views create the controls. Labels and
// the frame take no focus, so the focus starts on OK and moves on to the scroll bar and the marks.
// The option buttons are only as wide as their round marks, so their captions are cut off; the
// words "light" and "heavy" beside them are plain labels that take no clicks.
inline constexpr std::array<DialogControl, 11> kConfigControls{{
    {"Label1", ControlKind::Label, "", 0, {120, 120, 2175, 855}, false, false},
    {"Command1", ControlKind::CommandButton, "OK", 1, {840, 2400, 735, 375}, false, false},
    {"HScroll1", ControlKind::ScrollBar, "", 2, {120, 1080, 1575, 255}, false, false},
    {"Text1", ControlKind::TextBox, "", 3, {1800, 1080, 495, 285}, false, false},
    {"Frame1", ControlKind::Frame, "line width", 4, {120, 1680, 2175, 615}, false, false},
    {"Option1", ControlKind::OptionButton, "Option1", 5, {120, 240, 255, 255}, true, false},
    {"Option2", ControlKind::OptionButton, "Option2", 6, {1200, 240, 255, 255}, true, false},
    {"Label2", ControlKind::Label, "heavy", 7, {1440, 240, 735, 255}, true, false},
    {"Label3", ControlKind::Label, "light", 8, {360, 240, 495, 255}, true, false},
    {"Label4", ControlKind::Label, "max frame rate", 9, {120, 1320, 1575, 255}, false, true},
    {"Label5", ControlKind::Label, "fps", 10, {1800, 1320, 495, 255}, false, true},
}};

// The control of this name, found while compiling: a name that is not in the table does not build.
consteval const DialogControl& configControl(std::string_view name) {
    for (const DialogControl& control : kConfigControls) {
        if (name == control.name) {
            return control;
        }
    }
    throw "no control of this name in the settings dialog";
}

// The one frame, which the members' places are measured from.
inline constexpr const DialogControl& kConfigFrame = configControl("Frame1");

namespace detail {

constexpr bool inTabOrder() {
    for (std::size_t i = 0; i < kConfigControls.size(); ++i) {
        if (kConfigControls[i].tabIndex != static_cast<int>(i)) {
            return false;
        }
    }
    return true;
}

constexpr bool fitsInside(const TwipRect& inner, int width, int height) {
    return inner.left >= 0 && inner.top >= 0 && inner.left + inner.width <= width &&
           inner.top + inner.height <= height;
}

constexpr bool everyControlFits() {
    for (const DialogControl& control : kConfigControls) {
        const bool fits =
            control.inFrame
                ? fitsInside(control.place, kConfigFrame.place.width, kConfigFrame.place.height)
                : fitsInside(control.place, kConfigClientWidthTwips, kConfigClientHeightTwips);
        if (!fits) {
            return false;
        }
    }
    return true;
}

}  // namespace detail

static_assert(kConfigFrame.kind == ControlKind::Frame);
static_assert(detail::inTabOrder(), "the table's order is the tab order");
static_assert(detail::everyControlFits(), "every control lies inside the window or its frame");

// Label1's notice: what the dialog is for and the folder where OK saves, which the platform names
// the way its users write it ("~/.config/loopster", "c:\temp").
inline std::string configNotice(std::string_view settingsFolder) {
    return "The saver's top frame rate and line width. OK saves them in " +
           std::string(settingsFolder);
}

}  // namespace loopster
