// The settings dialog's logic (first cut: holds the controls' state; the load step, the marker
// file and saving arrive with the settings work).
#include "settings_dialog/config.h"

#include "common/numeric.h"

namespace loopster {

Config::Config(ConfigView& view, Files& files, Desktop& desktop, Process& process,
               const FileLocations& locations)
    : m_view(view), m_files(files), m_desktop(desktop), m_process(process), m_locations(locations) {}

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
    if (value != m_scrollValue) {
        m_scrollValue = value;
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
    m_scrollValue = value;
    setText1(integerText(value));
}

void Config::onOptionClick(bool light) { selectOption(light); }

void Config::onOkClick() {
    m_view.unload();
    m_process.endProcess(0);
}

void Config::onCloseRequest() {
    m_view.unload();
    m_process.endProcess(0);
}

}  // namespace loopster
