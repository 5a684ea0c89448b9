// Rounding, checked integer conversions and text-number conversions.
#include "common/numeric.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "common/run_error.h"

namespace loopster {

void throwOverflow() {
    throw RunError(ErrorKind::Overflow);
}

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

double floorOf(double value) {
    return std::floor(value);
}

double textToNumber(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // from_chars also takes "inf" and "nan", which are not numbers to the user.
    if (text.empty() ||
        !(std::isdigit(static_cast<unsigned char>(text.front())) || text.front() == '.')) {
        throw RunError(ErrorKind::TypeMismatch);
    }
    double value = 0.0;
    const auto [end, error] = decimalFromChars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        throw RunError(ErrorKind::TypeMismatch);
    }
    return negative ? -value : value;
}

std::from_chars_result decimalFromChars(const char* first, const char* last, double& value) {
#if defined(__cpp_lib_to_chars)
    return std::from_chars(first, last, value, std::chars_format::general);
#else
    return scannedFromChars(first, last, value);
#endif
}

// The grammar is scanned here and its extent converted by strtod, which rounds correctly as well;
// strtod reads the decimal mark of the C locale, which the programs never change.
std::from_chars_result scannedFromChars(const char* first, const char* last, double& value) {
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    const char* p = first;
    if (p != last && *p == '-') {
        ++p;
    }
    // Infinity and NaN, in any case, as from_chars takes them.
    const auto startsWith = [&p, last](std::string_view word) {
        if (static_cast<std::size_t>(last - p) < word.size()) {
            return false;
        }
        for (std::size_t i = 0; i < word.size(); ++i) {
            if ((p[i] | 0x20) != word[i]) {
                return false;
            }
        }
        return true;
    };
    const double sign = p != first ? -1.0 : 1.0;
    if (startsWith("inf")) {
        value = sign * std::numeric_limits<double>::infinity();
        return {p + (startsWith("infinity") ? 8 : 3), std::errc()};
    }
    if (startsWith("nan")) {
        const char* end = p + 3;
        if (end != last && *end == '(') {
            const char* q = end + 1;
            while (q != last &&
                   (isDigit(*q) || ((*q | 0x20) >= 'a' && (*q | 0x20) <= 'z') || *q == '_')) {
                ++q;
            }
            if (q != last && *q == ')') {
                end = q + 1;
            }
        }
        value = sign * std::numeric_limits<double>::quiet_NaN();
        return {end, std::errc()};
    }
    bool anyDigit = false;
    bool nonZero = false;
    for (bool point = false; p != last; ++p) {
        if (isDigit(*p)) {
            anyDigit = true;
            nonZero = nonZero || *p != '0';
        } else if (*p == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!anyDigit) {
        return {first, std::errc::invalid_argument};
    }
    const char* end = p;
    if (p != last && (*p == 'e' || *p == 'E')) {
        const char* q = p + 1;
        if (q != last && (*q == '+' || *q == '-')) {
            ++q;
        }
        const char* const digits = q;
        while (q != last && isDigit(*q)) {
            ++q;
        }
        if (q != digits) {
            end = q;
        }
    }
    const std::string number(first, end);
    const double result = std::strtod(number.c_str(), nullptr);
    if (std::isinf(result) || (result == 0.0 && nonZero)) {
        return {end, std::errc::result_out_of_range};
    }
    value = result;
    return {end, std::errc()};
}

std::string integerText(long long value) {
    return std::to_string(value);
}

}  // namespace loopster
