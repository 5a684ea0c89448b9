// Rounding, checked integer conversions and text-number conversions.
#include "common/numeric.h"

#include <charconv>
#include <cmath>
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

std::string integerText(long long value) {
    return std::to_string(value);
}

}  // namespace loopster
