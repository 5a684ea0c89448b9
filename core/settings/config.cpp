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

// Loading does not build the window: the saver only reads the controls, and building widgets can
// wait on services (the accessibility bus) that have no business delaying the screen's cover.
void Config::ensureLoaded() {
    if (m_loaded) {
        return;
    }
    m_loaded = true;
    writeMarker();
}

void Config::createView() {
    if (m_viewCreated) {
        return;
    }
    m_viewCreated = true;
    m_view.setEventHandler(this);
    m_view.create();
    m_view.showText1(m_text1);
    m_view.showScrollValue(m_scrollValue);
    m_view.showOption1(m_option1);
}

void Config::checkSettingsFile(const FileRead& read) {
    if (read.unreadable && !m_unreadable) {
        m_unreadable = read.unreadable->reason;
    }
}

// Asked again at every OK, so a file made read-only while the dialog is open is kept too. A file
// that could not be read at the load stays refused even once it can be: the dialog never showed
// its values.
std::optional<std::string> Config::saveRefusal() {
    const std::string& path = m_locations.settingsFile;
    if (m_unreadable) {
        return "The settings were not saved: " + path + " could not be read (" + *m_unreadable +
               ") and is left as it is; close this dialog and open it again once it can be read.";
    }
    if (m_files.readPrefix(path, 0).readOnly) {
        return "The settings were not saved: " + path + " is read-only and is left as it is.";
    }
    return std::nullopt;
}

// The marker says that the dialog has been loaded at least once on this machine; nothing reads it.
// The beep follows the creation and only a start that created the marker beeps: a marker that the
// lookup cannot see (hidden, or in a folder this user may not list) or that cannot be created is
// skipped silently, so such a machine does not beep at every start. A program that never shows the
// dialog (the xscreensaver hack) names no marker file, and so neither writes one nor beeps.
void Config::writeMarker() {
    if (m_locations.markerFile.empty() || !m_files.lookup(m_locations.markerFile).empty()) {
        return;
    }
    if (!m_files.createFile(m_locations.markerFile, kMarkerContent)) {
        m_desktop.beep();
    }
}

std::string Config::Text1() {
    ensureLoaded();
    return m_text1;
}

void Config::setText1(const std::string& text) {
    ensureLoaded();
    m_text1 = text;
    if (m_viewCreated) {
        m_view.showText1(m_text1);
    }
}

int Config::HScroll1() {
    ensureLoaded();
    return m_scrollValue;
}

void Config::setHScroll1(int value) {
    ensureLoaded();
    value = std::clamp(value, kScrollMin, kScrollMax);
    if (value != m_scrollValue) {
        if (m_viewCreated) {
            m_view.showScrollValue(value);
        }
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
    if (m_viewCreated) {
        m_view.showOption1(light);
    }
}

void Config::Show() {
    ensureLoaded();
    createView();
    m_view.show();
    if (m_unreadable) {
        m_view.showError("The settings file " + m_locations.settingsFile +
                         " could not be read: " + *m_unreadable +
                         ". The dialog shows the defaults, and OK will not save them over it.");
    }
}

void Config::onScrollChange(int value) {
    m_scrollValue = std::clamp(value, kScrollMin, kScrollMax);
    setText1(integerText(m_scrollValue));
}

void Config::onOptionClick(bool light) {
    selectOption(light);
}

// A save that is refused or fails keeps the dialog open with the old file intact, so the user can
// fix the file or folder and press OK again, or close the dialog.
void Config::onOkClick() {
    if (const auto refusal = saveRefusal()) {
        m_view.showError(*refusal);
        return;
    }
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
