// A settings dialog window for tests: remembers what the dialog logic last showed in each control,
// counts creation, showing and unloading, and lets a test act as the user through handler().
#pragma once

#include <string>
#include <vector>

#include "seam/config_view.h"

namespace loopster {

class FakeConfigView final : public ConfigView {
  public:
    void setEventHandler(ConfigEvents* handler) override { m_handler = handler; }
    void create() override { ++m_creates; }
    void showText1(const std::string& text) override { m_text1 = text; }
    void showScrollValue(int value) override { m_scrollValue = value; }
    void showOption1(bool light) override { m_option1 = light; }
    void show() override {
        ++m_shows;
        m_visible = true;
    }
    void unload() override {
        ++m_unloads;
        m_visible = false;
    }
    void showError(const std::string& message) override { m_errors.push_back(message); }

    // The user's side: click an arrow, a mark, OK, the close button.
    ConfigEvents& handler() const { return *m_handler; }
    bool hasHandler() const { return m_handler != nullptr; }

    const std::string& text1() const { return m_text1; }
    int scrollValue() const { return m_scrollValue; }
    bool option1() const { return m_option1; }
    bool visible() const { return m_visible; }
    int creates() const { return m_creates; }
    int shows() const { return m_shows; }
    int unloads() const { return m_unloads; }
    const std::vector<std::string>& errors() const { return m_errors; }

  private:
    ConfigEvents* m_handler = nullptr;
    std::string m_text1;
    int m_scrollValue = -1;
    bool m_option1 = false;
    bool m_visible = false;
    int m_creates = 0;
    int m_shows = 0;
    int m_unloads = 0;
    std::vector<std::string> m_errors;
};

}  // namespace loopster
