// Rounding and conversion rules every subsystem relies on.
#include "common/numeric.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <optional>
#include <string_view>

#include "common/run_error.h"

namespace loopster {
namespace {

std::optional<ErrorKind> kindOf(void (*body)()) {
    try {
        body();
    } catch (const RunError& error) {
        return error.kind();
    }
    return std::nullopt;
}

TEST(Rounding, TiesGoToTheEvenNeighbour) {
    EXPECT_EQ(toInt32(2.5), 2);
    EXPECT_EQ(toInt32(3.5), 4);
    EXPECT_EQ(toInt32(-2.5), -2);
    EXPECT_EQ(toInt32(-87.5), -88);
    EXPECT_EQ(toInt32(511.5), 512);
    EXPECT_EQ(toInt32(2.5000001), 3);
    EXPECT_EQ(toInt16(62.5), 62);
    EXPECT_EQ(toInt16(63.5), 64);
}

TEST(Rounding, ValuesOutsideTheRangeOverflow) {
    EXPECT_EQ(toInt16(32767.4), 32767);
    EXPECT_EQ(toInt16(-32768.5), -32768);
    EXPECT_EQ(kindOf([] { toInt16(32767.5); }), ErrorKind::Overflow);
    EXPECT_EQ(kindOf([] { toInt16(-32769.0); }), ErrorKind::Overflow);
    EXPECT_EQ(kindOf([] { toInt32(2147483648.0); }), ErrorKind::Overflow);
    EXPECT_EQ(kindOf([] { toInt32(std::nan("")); }), ErrorKind::Overflow);
}

TEST(Text, NumbersReadAndIntegersWrite) {
    EXPECT_EQ(textToNumber("-100"), -100.0);
    EXPECT_EQ(textToNumber(" 250 "), 250.0);
    EXPECT_EQ(textToNumber("+2.5"), 2.5);
    EXPECT_EQ(textToNumber("1e2"), 100.0);
    EXPECT_EQ(integerText(-100), "-100");
    EXPECT_EQ(integerText(0), "0");
    for (const char* bad : {"", " ", "abc", "12abc", "--1", "nan", "inf", "1,5"}) {
        EXPECT_THROW(textToNumber(bad), RunError) << bad;
    }
}

// The browser build reads numbers with its own scan, which must take exactly what the standard
// from_chars takes, stop where it stops and give the same double.
TEST(Text, TheScannedReadingAgreesWithFromChars) {
    const char* const texts[] = {
        "0",      "30",     "-7",    "1.5",  ".5",    "5.",       ".",
        "-",      "",       "1e3",   "1E-2", "2e",    "2e+",      "3e+4x",
        "1.2.3",  "0x1p3",  "+1",    " 1",   "inf",   "nan",      "1e400",
        "-1e400", "1e-400", "0e999", "0.1",  "12abc", "4.9e-324", "1.7976931348623157e308",
        "007.50", "1e0001", "-.25e1"};
    for (const std::string_view text : texts) {
        const char* const first = text.data();
        const char* const last = first + text.size();
        double expected = -42.0;
        double scanned = -42.0;
        const auto want = std::from_chars(first, last, expected, std::chars_format::general);
        const auto got = scannedFromChars(first, last, scanned);
        EXPECT_EQ(got.ec, want.ec) << text;
        EXPECT_EQ(got.ptr - first, want.ptr - first) << text;
        EXPECT_TRUE(scanned == expected || (std::isnan(scanned) && std::isnan(expected))) << text;
    }
}

TEST(Errors, StandardMessagesNameNumberAndText) {
    EXPECT_EQ(standardMessage(ErrorKind::Overflow), "Run-time error '6':\n\nOverflow");
    EXPECT_STREQ(RunError(ErrorKind::SubscriptOutOfRange).what(),
                 "Run-time error '9':\n\nSubscript out of range");
}

}  // namespace
}  // namespace loopster
