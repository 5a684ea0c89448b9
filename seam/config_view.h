// The settings dialog's window as the portable dialog logic sees it. The logic owns the controls'
// state and pushes it to the view; the view reports the user's actions back.
#pragma once

#include <string>

namespace loopster {

class ConfigEvents {
  public:
    virtual ~ConfigEvents() = default;
    // The scroll bar's value changed (arrow, trough, thumb released; not while dragging).
    virtual void onScrollChange(int value) = 0;
    // The user selected one of the two line-width marks.
    virtual void onOptionClick(bool light) = 0;
    virtual void onOkClick() = 0;
    // The window's close button: unloads without saving.
    virtual void onCloseRequest() = 0;
};

class ConfigView {
  public:
    virtual ~ConfigView() = default;
    virtual void setEventHandler(ConfigEvents* handler) = 0;
    // Creates the window's controls, hidden. Called once, when the dialog is first shown: the saver
    // reads the controls' values without ever building a window.
    virtual void create() = 0;
    virtual void showText1(const std::string& text) = 0;
    virtual void showScrollValue(int value) = 0;
    virtual void showOption1(bool light) = 0;
    // Shows the dialog modeless, with the focus on OK.
    virtual void show() = 0;
    // Closes and destroys the window.
    virtual void unload() = 0;
    // A message box over the dialog; the dialog stays open.
    virtual void showError(const std::string& message) = 0;
};

}  // namespace loopster
