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

namespace {

// The canvas's ImageData holds red, green, blue and alpha in that order in memory: a 32-bit pixel
// with red in its lowest byte, where the drawing calls give 0xFFRRGGBB.
std::uint32_t canvasPixel(std::uint32_t rgb) {
    return (rgb & 0xFF00FF00u) | ((rgb >> 16) & 0xFFu) | ((rgb & 0xFFu) << 16);
}

}  // namespace

void WebCanvas::setBackColor(std::int32_t colour) {
    m_background = canvasPixel(toRgb32(colour));
}

void WebCanvas::cls() {
    m_ink.clear(m_background);
}

void WebCanvas::close() {
    if (m_handler != nullptr) {
        m_handler->onClose();
    }
}

bool WebCanvas::resize(int width, int height) {
    if (!m_memory.allocate(std::max(width, 1), std::max(height, 1))) {
        return false;
    }
    const PixelRows rows = m_memory.rows();
    m_ink.reset(rows, m_background);
    m_ink.damage().addChanged(DamageRect{0, 0, rows.width, rows.height});
    return true;
}

void WebCanvas::polyline(const CurvePoint* points, int count, int penWidth, std::uint32_t colour) {
    m_ink.polyline(points, count, penWidth, canvasPixel(colour));
}

void WebCanvas::present() {
    const DamageRect changed = DamageTracker::bounds(m_ink.damage().takeChanged());
    if (changed.empty()) {
        return;
    }
    const PixelRows& rows = m_ink.rows();
    loopster_js_present(rows.pixels, rows.width, rows.height, changed.left, changed.top,
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
