// The seam in a browser page. Calls to the page go through the few functions below, each of which
// calls `Module.page`, the object the page's script hands the module.
#include "hosts/web/web_host.h"

#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "core/raster/pen_raster.h"
#include "core/settings/dialog_layout.h"

// clang-format off
EM_JS(double, loopster_js_now, (), { return performance.now(); });
EM_JS(double, loopster_js_seconds_since_midnight, (), {
    const now = new Date();
    const midnight = new Date(now.getFullYear(), now.getMonth(), now.getDate());
    return (now - midnight) / 1000;
});
EM_JS(double, loopster_js_screen_pixels, (int height), {
    return height ? screen.height : screen.width;
});
EM_JS(void, loopster_js_present, (const void* pixels, int width, int height, int left, int top,
                                  int right, int bottom), {
    Module.page.present(pixels, width, height, left, top, right - left, bottom - top);
});
EM_JS(int, loopster_js_storage_length, (const char* key), {
    const value = Module.page.storageGet(UTF8ToString(key));
    return value === null ? -1 : lengthBytesUTF8(value);
});
EM_JS(void, loopster_js_storage_read, (const char* key, char* buffer, int size), {
    stringToUTF8(Module.page.storageGet(UTF8ToString(key)) || "", buffer, size);
});
EM_JS(int, loopster_js_storage_write, (const char* key, const char* value), {
    return Module.page.storageSet(UTF8ToString(key), UTF8ToString(value)) ? 1 : 0;
});
EM_JS(void, loopster_js_panel, (const char* call, const char* text, int value), {
    Module.page.panel(UTF8ToString(call), UTF8ToString(text), value);
});
EM_JS(void, loopster_js_fatal, (const char* message), {
    Module.page.fatal(UTF8ToString(message));
});
// clang-format on

namespace loopster {

namespace {

// The settings' item in localStorage.
constexpr const char* kSettingsItem = "loopster/settings";

void panel(const char* call, const std::string& text = {}, int value = 0) {
    loopster_js_panel(call, text.c_str(), value);
}

std::string jsonString(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + "\"";
}

const char* kindName(ControlKind kind) {
    switch (kind) {
        case ControlKind::Label:
            return "label";
        case ControlKind::ScrollBar:
            return "scrollbar";
        case ControlKind::TextBox:
            return "textbox";
        case ControlKind::Frame:
            return "frame";
        case ControlKind::OptionButton:
            return "option";
        case ControlKind::CommandButton:
            return "button";
    }
    return "label";
}

}  // namespace

std::uint32_t tickOf(double ms) {
    // A 32-bit millisecond counter, wrapping as the system's does.
    return static_cast<std::uint32_t>(static_cast<std::int64_t>(std::floor(ms)));
}

std::uint32_t WebClock::GetTickCount() {
    return m_frameTick ? *m_frameTick : tickOf(loopster_js_now());
}

float WebClock::secondsSinceMidnight() {
    return static_cast<float>(loopster_js_seconds_since_midnight());
}

void WebCanvas::setBackColor(std::int32_t colour) {
    m_background = pixelOf(colour);
}

void WebCanvas::fill(const DamageRect& area, std::uint32_t pixel) {
    for (std::int32_t y = area.top; y < area.bottom; ++y) {
        const auto row = static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width);
        std::fill(m_pixels.begin() +
                      static_cast<std::ptrdiff_t>(row + static_cast<std::size_t>(area.left)),
                  m_pixels.begin() +
                      static_cast<std::ptrdiff_t>(row + static_cast<std::size_t>(area.right)),
                  pixel);
    }
}

// Only the tiles the curve inked are cleared, while the background stays the colour the buffer
// was filled with; another background fills the whole buffer.
void WebCanvas::cls() {
    if (m_background == m_filledWith) {
        for (const DamageRect& tile : m_damage.takeInked()) {
            fill(tile, m_background);
        }
        return;
    }
    const DamageRect all{0, 0, m_width, m_height};
    fill(all, m_background);
    m_damage.forgetInked();
    m_damage.addChanged(all);
    m_filledWith = m_background;
}

void WebCanvas::close() {
    if (m_handler != nullptr) {
        m_handler->onClose();
    }
}

void WebCanvas::resize(int width, int height) {
    m_width = std::max(width, 1);
    m_height = std::max(height, 1);
    m_pixels.assign(static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height),
                    m_background);
    m_filledWith = m_background;
    m_damage.resize(m_width, m_height);
    m_damage.addChanged(DamageRect{0, 0, m_width, m_height});
}

void WebCanvas::polyline(const CurvePoint* points, int count, int penWidth, std::uint32_t pixel) {
    const PixelRows rows{m_pixels.data(), static_cast<std::size_t>(m_width), m_width, m_height};
    drawPolyline(rows, points, count, penWidth, pixel, &m_damage);
}

void WebCanvas::present() {
    const DamageRect changed = DamageTracker::bounds(m_damage.takeChanged());
    if (changed.empty()) {
        return;
    }
    loopster_js_present(m_pixels.data(), m_width, m_height, changed.left, changed.top,
                        changed.right, changed.bottom);
}

bool WebSurfaces::layout() {
    if (m_canvas.scaleWidth() == m_width && m_canvas.scaleHeight() == m_height) {
        return false;
    }
    m_width = m_canvas.scaleWidth();
    m_height = m_canvas.scaleHeight();
    return true;
}

std::uint32_t pixelOf(std::int32_t colour) {
    const auto value = static_cast<std::uint32_t>(colour);
    const std::uint32_t red = value & 0xFFu;
    const std::uint32_t green = (value >> 8) & 0xFFu;
    const std::uint32_t blue = std::min<std::uint32_t>(value >> 16, 0xFFu);
    return 0xFF000000u | (blue << 16) | (green << 8) | red;
}

Handle WebGdi::CreatePen(int /*style*/, int width, std::int32_t colour) {
    const Handle handle = m_nextPen++;
    m_pens.emplace(handle, Pen{std::max(width, 1), pixelOf(colour)});
    return handle;
}

Handle WebGdi::SelectObject(Handle /*dc*/, Handle pen) {
    const Handle previous = m_selected;
    m_selected = pen;
    return previous;
}

bool WebGdi::Polyline(Handle dc, const CurvePoint* points, int count) {
    const auto pen = m_pens.find(m_selected);
    if (dc != WebCanvas::kDeviceContext || pen == m_pens.end() || count < 2) {
        return false;
    }
    m_canvas.polyline(points, count, pen->second.width, pen->second.pixel);
    return true;
}

bool WebGdi::DeleteObject(Handle pen) {
    if (pen == m_selected) {
        m_selected = 0;
    }
    return m_pens.erase(pen) == 1;
}

std::string LocalStorageFiles::lookup(const std::string& path) {
    return loopster_js_storage_length(path.c_str()) < 0 ? std::string() : path;
}

// An item is never read-only: the page may always write its own storage, or is told why not
// when it saves.
FileRead LocalStorageFiles::readPrefix(const std::string& path, std::size_t maxBytes) {
    const int length = loopster_js_storage_length(path.c_str());
    if (length < 0) {
        return FileRead{};
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    loopster_js_storage_read(path.c_str(), text.data(), length + 1);
    text.resize(std::min(static_cast<std::size_t>(length), maxBytes));
    return FileRead{std::move(text), std::nullopt, false};
}

std::optional<FileFailure> LocalStorageFiles::replaceFile(const std::string& path,
                                                          const std::string& content) {
    if (loopster_js_storage_write(path.c_str(), content.c_str()) == 0) {
        return FileFailure{
            "The browser does not let this page store data (storage full, or "
            "blocked for this site)."};
    }
    return std::nullopt;
}

std::optional<FileFailure> LocalStorageFiles::createFile(const std::string& path,
                                                         const std::string& content) {
    if (!lookup(path).empty()) {
        return FileFailure{"File exists"};
    }
    return replaceFile(path, content);
}

FileLocations webFileLocations() {
    return FileLocations{kSettingsItem, ""};
}

void WebProcess::showFatalError(const std::string& message) {
    loopster_js_fatal(message.c_str());
}

void WebProcess::endProcess(int exitCode) {
    throw ProcessEnded{exitCode};
}

// The screen as the page sees it, in CSS pixels of 1/96 inch: 15 twips each.
double WebDesktop::screenWidthTwips() {
    return loopster_js_screen_pixels(0) * 15.0;
}

double WebDesktop::screenHeightTwips() {
    return loopster_js_screen_pixels(1) * 15.0;
}

void WebConfigView::create() {
    panel("create", dialogTableJson());
}

void WebConfigView::showText1(const std::string& text) {
    panel("text1", text);
}

void WebConfigView::showScrollValue(int value) {
    panel("scroll", {}, value);
}

void WebConfigView::showOption1(bool light) {
    panel("option1", {}, light ? 1 : 0);
}

void WebConfigView::show() {
    panel("show");
}

void WebConfigView::unload() {
    panel("unload");
}

void WebConfigView::showError(const std::string& message) {
    panel("error", message);
}

std::string dialogTableJson() {
    std::string json = "{\"caption\": " + jsonString(kConfigCaption) +
                       ", \"width\": " + std::to_string(kConfigClientWidthTwips) +
                       ", \"height\": " + std::to_string(kConfigClientHeightTwips) +
                       ", \"scrollMin\": " + std::to_string(kConfigScrollMin) +
                       ", \"scrollMax\": " + std::to_string(kConfigScrollMax) +
                       ", \"scrollStep\": " + std::to_string(kConfigScrollStep) +
                       ", \"notice\": " + jsonString(configNotice("this browser's storage")) +
                       ", \"controls\": [";
    for (const DialogControl& control : kConfigControls) {
        json += std::string(control.tabIndex == 0 ? "" : ", ") +
                "{\"name\": " + jsonString(control.name) +
                ", \"kind\": " + jsonString(kindName(control.kind)) +
                ", \"caption\": " + jsonString(control.caption) +
                ", \"left\": " + std::to_string(control.place.left) +
                ", \"top\": " + std::to_string(control.place.top) +
                ", \"width\": " + std::to_string(control.place.width) +
                ", \"height\": " + std::to_string(control.place.height) +
                ", \"inFrame\": " + (control.inFrame ? "true" : "false") +
                ", \"centred\": " + (control.centred ? "true" : "false") + "}";
    }
    return json + "]}";
}

}  // namespace loopster
