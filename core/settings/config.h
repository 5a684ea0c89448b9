// The settings dialog's logic: it owns the controls' state (Text1, HScroll1, Option1/Option2),
// loads itself at the first touch of any control or at Show, and reacts to the scroll bar, OK and
// the close button. The window itself is a ConfigView of the platform, which only shows the state
// and reports the user's actions.
#pragma once

#include <optional>
#include <string>

#include "seam/config_view.h"
#include "seam/desktop.h"
#include "seam/files.h"
#include "seam/process.h"

namespace loopster {

// What the load step writes when the marker file is missing: one quoted line, 31 bytes.
inline constexpr const char* kMarkerContent = "\"created by settings control\"\r\n";

class Config final : private ConfigEvents {
  public:
    // HScroll1's range and start value, in frames per second; arrow and trough steps are 1.
    static constexpr int kScrollMin = 5;
    static constexpr int kScrollMax = 100;
    static constexpr int kScrollStart = 30;

    Config(ConfigView& view, Files& files, Desktop& desktop, Process& process,
           const FileLocations& locations);
    Config(const Config&) = delete;
    Config& operator=(const Config&) = delete;

    // The controls. Every access loads the dialog first (its load step runs once per process).
    std::string Text1();
    void setText1(const std::string& text);
    int HScroll1();
    // Sets the scroll bar's value, held to its range; a change writes the same digits into Text1.
    void setHScroll1(int value);
    // True when Option1 (light) is selected.
    bool Option1();
    // Selects Option1 (light) when true, else Option2 (heavy); the two form one group.
    void selectOption(bool light);
    // Shows the dialog modeless.
    void Show();

    // The one rule for a settings file that OK leaves as it is: a file that is there but could not
    // be read (saving would put the dialog's defaults over values nobody has seen), and one whose
    // owner may not write it. `read` is what reading the settings file's path found; Show names an
    // unreadable file in one line, and OK refuses both with one line and keeps the dialog open.
    void checkSettingsFile(const FileRead& read);

    bool isLoaded() const { return m_loaded; }

  private:
    void ensureLoaded();
    void createView();
    std::optional<std::string> saveRefusal();
    void writeMarker();
    void onScrollChange(int value) override;
    void onOptionClick(bool light) override;
    void onOkClick() override;
    void onCloseRequest() override;

    ConfigView& m_view;
    Files& m_files;
    Desktop& m_desktop;
    Process& m_process;
    FileLocations m_locations;
    bool m_loaded = false;
    bool m_viewCreated = false;
    // Why the settings file could not be read when the dialog was loaded.
    std::optional<std::string> m_unreadable;
    std::string m_text1 = std::to_string(kScrollStart);
    int m_scrollValue = kScrollStart;
    bool m_option1 = true;
};

}  // namespace loopster
