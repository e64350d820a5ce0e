// Text to 16-bit integer: rounding, and the range.

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>

#include "tests/toolkit/ConversionChecks.h"
#include "toolkit/Conversions.h"

namespace conversions_test {

namespace {

using toolkit::CInt;

struct IntegerRow {
    std::string text;
    char separator;
    std::int16_t expected;
};

void PrintTo(const IntegerRow& row, std::ostream* os) {
    *os << shown(row.text) << " with '" << row.separator << "'";
}

class TextToInteger : public testing::TestWithParam<IntegerRow> {};

TEST_P(TextToInteger, RoundsHalfToEven) {
    const IntegerRow& row = GetParam();
    EXPECT_EQ(CInt(row.text, row.separator), row.expected);
}

INSTANTIATE_TEST_SUITE_P(Conversions, TextToInteger,
                         testing::Values(IntegerRow{"0", '.', 0},               //
                                         IntegerRow{"7", '.', 7},               //
                                         IntegerRow{" -12 ", '.', -12},         //
                                         IntegerRow{"0.5", '.', 0},             //
                                         IntegerRow{"1.5", '.', 2},             //
                                         IntegerRow{"2.5", '.', 2},             //
                                         IntegerRow{"3.5", '.', 4},             //
                                         IntegerRow{"2,5", ',', 2},             //
                                         IntegerRow{"3,5", ',', 4},             //
                                         IntegerRow{"-0.5", '.', 0},            //
                                         IntegerRow{"-1.5", '.', -2},           //
                                         IntegerRow{"-2.5", '.', -2},           //
                                         IntegerRow{"-3.5", '.', -4},           //
                                         IntegerRow{"2.4999", '.', 2},          //
                                         IntegerRow{"2.5001", '.', 3},          //
                                         IntegerRow{"-2.6", '.', -3},           //
                                         IntegerRow{"32767", '.', 32767},       //
                                         IntegerRow{"32767.4", '.', 32767},     //
                                         IntegerRow{"32766.5", '.', 32766},     //
                                         IntegerRow{"-32768", '.', -32768},     //
                                         IntegerRow{"-32768.5", '.', -32768},   //
                                         IntegerRow{"-32767.5", '.', -32768}),  //
                         [](const testing::TestParamInfo<IntegerRow>& info) {
                             return "Row" + std::to_string(info.index);
                         });

TEST(Conversions, IntegerOutsideSixteenBitsIsAnOverflow) {
    for (const char* text :
         {"32767.5", "32768", "-32769", "-32768.51", "40000", "1e10", "-1e10", "1e99999"}) {
        EXPECT_EQ(errorNumber([&] { CInt(text, '.'); }), overflow) << text;
    }
}

}  // namespace

}  // namespace conversions_test
