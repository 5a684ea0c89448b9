// The settings dialog's reactions: the load step with its marker file, the scroll bar's change,
// OK (save, unload, end) and the close button (unload, end).
#include "core/settings/config.h"

#include <algorithm>

#include "common/numeric.h"
#include "core/settings/settings_file.h"

namespace loopster {

Config::Config(ConfigView& view, Files& files, Desktop& desktop, Process& process,
               const FileLocations& locations)
    : m_view(view),
      m_files(files),
      m_desktop(desktop),
      m_process(process),
      m_locations(locations) {}

void Config::ensureLoaded() {
    if (m_loaded) {
        return;
    }
    m_loaded = true;
    m_view.setEventHandler(this);
    m_view.create();
    m_view.showText1(m_text1);
    m_view.showScrollValue(m_scrollValue);
    m_view.showOption1(m_option1);
    writeMarker();
}

// The marker says that the dialog has been loaded at least once on this machine; nothing reads it.
// A marker that cannot be created is skipped, so the saver still starts; the next start will try
// (and beep) again. A program that never shows the dialog (the xscreensaver hack) names no marker
// file, and so neither writes one nor beeps.
void Config::writeMarker() {
    if (m_locations.markerFile.empty() || !m_files.lookup(m_locations.markerFile).empty()) {
        return;
    }
    m_desktop.beep();
    static_cast<void>(m_files.createFile(m_locations.markerFile, kMarkerContent));
}

std::string Config::Text1() {
    ensureLoaded();
    return m_text1;
}

void Config::setText1(const std::string& text) {
    ensureLoaded();
    m_text1 = text;
    m_view.showText1(m_text1);
}

int Config::HScroll1() {
    ensureLoaded();
    return m_scrollValue;
}

void Config::setHScroll1(int value) {
    ensureLoaded();
    value = std::clamp(value, kScrollMin, kScrollMax);
    if (value != m_scrollValue) {
        m_view.showScrollValue(value);
        onScrollChange(value);
    }
}

bool Config::Option1() {
    ensureLoaded();
    return m_option1;
}

void Config::selectOption(bool light) {
    ensureLoaded();
    m_option1 = light;
    m_view.showOption1(light);
}

void Config::Show() {
    ensureLoaded();
    m_view.show();
}

void Config::onScrollChange(int value) {
    m_scrollValue = std::clamp(value, kScrollMin, kScrollMax);
    setText1(integerText(m_scrollValue));
}

void Config::onOptionClick(bool light) {
    selectOption(light);
}

// A save that fails keeps the dialog open with the old file intact, so the user can fix the folder
// and press OK again, or close the dialog.
void Config::onOkClick() {
    if (const auto failure = SaveSettings(m_files, m_locations.settingsFile, *this)) {
        m_view.showError("The settings could not be saved to " + m_locations.settingsFile +
                         ".\n\n" + failure->reason);
        return;
    }
    m_view.unload();
    m_process.endProcess(0);
}

void Config::onCloseRequest() {
    m_view.unload();
    m_process.endProcess(0);
}

}  // namespace loopster
