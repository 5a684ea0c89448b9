// The saver window for tests: a fixed drawing-area size, every call recorded, and a close request
// that delivers the close event at once, as the real window does.
#pragma once

#include <cstdint>
#include <string>

#include "seam/fake/call_log.h"
#include "seam/saver_window.h"

namespace loopster {

class FakeSaverWindow final : public SaverWindow {
  public:
    static constexpr Handle kDc = 7;

    // Several windows (one per monitor) need device contexts of their own.
    explicit FakeSaverWindow(CallLog& log, int width = 1024, int height = 768, Handle dc = kDc)
        : m_log(log), m_width(width), m_height(height), m_dc(dc) {}

    void setSize(int width, int height) {
        m_width = width;
        m_height = height;
    }
    SaverWindowEvents* handler() const { return m_handler; }

    void setEventHandler(SaverWindowEvents* handler) override { m_handler = handler; }
    int scaleHeight() override {
        m_log.add("scaleHeight");
        return m_height;
    }
    int scaleWidth() override {
        m_log.add("scaleWidth");
        return m_width;
    }
    void setBackColor(std::int32_t colour) override {
        m_log.add("setBackColor " + std::to_string(colour));
    }
    void show() override {
        m_log.add("show");
        m_visible = true;
    }
    Handle hDC() override {
        m_log.add("hDC");
        return m_dc;
    }
    void cls() override { m_log.add("cls"); }
    void close() override {
        m_log.add("close");
        if (m_handler != nullptr) {
            m_handler->onClose();
        }
    }

    bool visible() const { return m_visible; }

  private:
    CallLog& m_log;
    int m_width;
    int m_height;
    Handle m_dc;
    bool m_visible = false;
    SaverWindowEvents* m_handler = nullptr;
};

}  // namespace loopster
