// Conversions between the core's UTF-8 strings and the UTF-16 strings of the wide Win32 calls.
#pragma once

#include <string>
#include <string_view>

namespace loopster {

std::wstring toWide(std::string_view text);
std::string toUtf8(std::wstring_view text);

}  // namespace loopster
