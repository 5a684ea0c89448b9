// The settings file codec and the two procedures that move its values between the file, the dialog
// and the pattern globals.
#include "core/settings/settings_file.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "common/numeric.h"
#include "common/run_error.h"

namespace loopster {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isFieldEnd(char c) {
    return c == ',' || c == '\r' || c == '\n';
}

// textToNumber refuses a number too large or too small for a double like any other bad text. Such
// a number saturates instead, so a field of a thousand nines still reads as the highest rate and
// 1e-999 as 0.
double outOfRangeNumber(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    const bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        text.remove_prefix(1);
    }
    double value = 0.0;
    const char* const end = text.data() + text.size();
    const auto [stop, error] = decimalFromChars(text.data(), end, value);
    if (error != std::errc::result_out_of_range || stop != end) {
        return 0.0;
    }
    const std::size_t exponent = text.find_first_of("eE");
    const bool negativeExponent = exponent != std::string_view::npos &&
                                  exponent + 1 < text.size() && text[exponent + 1] == '-';
    const std::string_view whole = text.substr(0, std::min(exponent, text.find('.')));
    if (negativeExponent || whole.find_first_not_of('0') == std::string_view::npos) {
        return 0.0;
    }
    return negative ? -std::numeric_limits<double>::infinity()
                    : std::numeric_limits<double>::infinity();
}

// A field that is not a number (text, garbage) reads as 0, as the file's readers always have done.
double fieldNumber(const std::string& field) {
    try {
        return textToNumber(field);
    } catch (const RunError&) {
        return outOfRangeNumber(field);
    }
}

}  // namespace

std::optional<std::string> SettingsFieldReader::next() {
    if (m_pos >= m_data.size()) {
        return std::nullopt;
    }
    while (m_pos < m_data.size() && isBlank(m_data[m_pos])) {
        ++m_pos;
    }
    std::string field;
    if (m_pos < m_data.size() && m_data[m_pos] == '"') {
        const std::size_t start = m_pos + 1;
        const std::size_t close = m_data.find('"', start);
        const std::size_t end = close == std::string_view::npos ? m_data.size() : close;
        field = std::string(m_data.substr(start, end - start));
        m_pos = close == std::string_view::npos ? m_data.size() : close + 1;
        while (m_pos < m_data.size() && !isFieldEnd(m_data[m_pos])) {
            ++m_pos;
        }
    } else {
        const std::size_t start = m_pos;
        while (m_pos < m_data.size() && !isFieldEnd(m_data[m_pos])) {
            ++m_pos;
        }
        std::size_t end = m_pos;
        while (end > start && isBlank(m_data[end - 1])) {
            --end;
        }
        field = std::string(m_data.substr(start, end - start));
    }
    skipDelimiter();
    return field;
}

void SettingsFieldReader::skipDelimiter() {
    if (m_pos >= m_data.size()) {
        return;
    }
    const char c = m_data[m_pos++];
    if (c == '\r' && m_pos < m_data.size() && m_data[m_pos] == '\n') {
        ++m_pos;
    }
}

SettingsFields parseSettings(std::string_view data) {
    // Some Windows editors put a UTF-8 byte-order mark in front of the text they save; it is no
    // part of the first field.
    constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
    if (data.starts_with(kUtf8Bom)) {
        data.remove_prefix(kUtf8Bom.size());
    }
    SettingsFieldReader reader(data);
    SettingsFields fields;
    if (const auto first = reader.next()) {
        fields.frameRate = fieldNumber(*first);
        // An empty second field (a blank line) reads as 0 like any other non-number: light.
        if (const auto second = reader.next()) {
            fields.lineWidthCode = fieldNumber(*second);
        }
    }
    return fields;
}

std::int16_t clampFrameRate(double value) {
    if (std::isnan(value)) {
        return static_cast<std::int16_t>(Config::kScrollMin);
    }
    const double rounded = roundHalfEven(value);
    return static_cast<std::int16_t>(std::clamp(rounded, static_cast<double>(Config::kScrollMin),
                                                static_cast<double>(Config::kScrollMax)));
}

std::string formatSettings(std::int16_t frameRate, bool light) {
    return integerText(frameRate) + "\r\n" + (light ? "1" : "2") + "\r\n";
}

void LoadSettings(Files& files, const std::string& path, Config& config, PatternGlobals& globals) {
    // An unreadable file reads like an empty one: everything keeps the dialog's defaults, and the
    // dialog will not save them over it.
    const FileRead read = files.readPrefix(path, kSettingsReadLimit);
    config.checkSettingsFile(read);
    const SettingsFields fields = parseSettings(read.content.value_or(""));
    if (fields.frameRate) {
        const std::int16_t rate = clampFrameRate(*fields.frameRate);
        config.setText1(integerText(rate));
        config.setHScroll1(rate);
    }
    if (fields.lineWidthCode) {
        // 2 and every larger code mean heavy; 1, 0 and below mean light.
        config.selectOption(*fields.lineWidthCode < 2.0);
    }
    // Taken back from the controls, so the globals always agree with what the dialog shows, even
    // when a field was missing.
    globals.FrameRate = toInt16(textToNumber(config.Text1()));
    globals.LineWidth = config.Option1() ? 1 : 2;
}

std::optional<FileFailure> SaveSettings(Files& files, const std::string& path, Config& config) {
    const std::int16_t rate = toInt16(textToNumber(config.Text1()));
    return files.replaceFile(path, formatSettings(rate, config.Option1()));
}

}  // namespace loopster
