// Rounding and conversion rules every subsystem relies on.
#include "common/numeric.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

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

TEST(Errors, StandardMessagesNameNumberAndText) {
    EXPECT_EQ(standardMessage(ErrorKind::Overflow), "Run-time error '6':\n\nOverflow");
    EXPECT_STREQ(RunError(ErrorKind::SubscriptOutOfRange).what(),
                 "Run-time error '9':\n\nSubscript out of range");
}

}  // namespace
}  // namespace loopster
