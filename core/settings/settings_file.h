// The settings file: two CRLF-ended lines, the frame rate and the line-width code (1 light,
// 2 heavy). SaveSettings writes it from the dialog's controls; LoadSettings reads it back into the
// controls and the pattern globals. Reading never fails: whatever cannot be read keeps the dialog's
// defaults, and the frame rate is held to the scroll bar's range.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/pattern/pattern_globals.h"
#include "core/settings/config.h"
#include "seam/files.h"

namespace loopster {

// A real settings file is a few bytes; reading stops here, so a huge file costs nothing.
inline constexpr std::size_t kSettingsReadLimit = 4096;

// Splits settings text into fields the way the file's readers always have: a field ends at a comma
// or a line end (CR, LF or CRLF), blanks (space, tab) in front of it are skipped, and a field in
// double quotes is taken without them (anything between the closing quote and the next comma or
// line end is dropped).
class SettingsFieldReader {
  public:
    explicit SettingsFieldReader(std::string_view data) : m_data(data) {}
    // The next field, or nothing when the data is used up. A blank line is an empty field.
    std::optional<std::string> next();

  private:
    void skipDelimiter();
    std::string_view m_data;
    std::size_t m_pos = 0;
};

// The two values as the file holds them, before any range rule. A field that is present but not a
// number reads as 0; a missing field (the data ended first) is nothing.
struct SettingsFields {
    std::optional<double> frameRate;
    std::optional<double> lineWidthCode;
};

// A UTF-8 byte-order mark at the very start is skipped.
SettingsFields parseSettings(std::string_view data);

// Rounds half to even and holds the result in HScroll1's range, 5 to 100.
std::int16_t clampFrameRate(double value);

// The file's exact bytes, e.g. "30\r\n1\r\n".
std::string formatSettings(std::int16_t frameRate, bool light);

// Reads the file at `path` into the dialog's controls (Text1, HScroll1, then Option1 or Option2)
// and into globals.FrameRate and globals.LineWidth. The first touch of a control loads the dialog.
void LoadSettings(Files& files, const std::string& path, Config& config, PatternGlobals& globals);

// Replaces the file at `path` with Text1 and Option1. On failure the old file is untouched and the
// reason is returned.
std::optional<FileFailure> SaveSettings(Files& files, const std::string& path, Config& config);

}  // namespace loopster
