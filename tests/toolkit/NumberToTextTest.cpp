// Number to text, and every text the program writes converting back to the value it was made
// from.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>
#include <string>
#include <tuple>

#include "tests/toolkit/ConversionChecks.h"
#include "toolkit/Conversions.h"

namespace conversions_test {

namespace {

using toolkit::CInt;
using toolkit::CSng;
using toolkit::CStr;

struct SingleTextRow {
    float value;
    char separator;
    std::string expected;
};

void PrintTo(const SingleTextRow& row, std::ostream* os) {
    *os << row.value << " with '" << row.separator << "'";
}

class SingleToText : public testing::TestWithParam<SingleTextRow> {};

TEST_P(SingleToText, IsShortestText) {
    const SingleTextRow& row = GetParam();
    EXPECT_EQ(CStr(row.value, row.separator), row.expected);
}

INSTANTIATE_TEST_SUITE_P(Conversions, SingleToText,
                         testing::Values(SingleTextRow{1500.0f, '.', "1500"},          //
                                         SingleTextRow{1500.0f, ',', "1500"},          //
                                         SingleTextRow{-15.0f, '.', "-15"},            //
                                         SingleTextRow{0.0f, '.', "0"},                //
                                         SingleTextRow{1.5f, '.', "1.5"},              //
                                         SingleTextRow{1.5f, ',', "1,5"},              //
                                         SingleTextRow{-300.25f, ',', "-300,25"},      //
                                         SingleTextRow{0.5f, ',', "0,5"},              //
                                         SingleTextRow{0.1f, '.', "0.1"},              //
                                         SingleTextRow{1234.567f, '.', "1234.567"},    //
                                         SingleTextRow{1e-3f, ',', "0,001"},           //
                                         SingleTextRow{16777216.0f, '.', "16777216"},  //
                                         SingleTextRow{99990.0f, '.', "99990"}),       //
                         [](const testing::TestParamInfo<SingleTextRow>& info) {
                             return "Row" + std::to_string(info.index);
                         });

TEST(Conversions, IntegerToTextIsPlainDecimal) {
    EXPECT_EQ(CStr(std::int16_t{0}), "0");
    EXPECT_EQ(CStr(std::int16_t{1000}), "1000");
    EXPECT_EQ(CStr(std::int16_t{-300}), "-300");
    EXPECT_EQ(CStr(std::int16_t{32767}), "32767");
    EXPECT_EQ(CStr(std::int16_t{-32768}), "-32768");
}

// Every text the program writes converts back to the value it was made from.

class SingleRoundTrip : public testing::TestWithParam<std::tuple<float, char>> {};

TEST_P(SingleRoundTrip, ReadsBackTheSameValue) {
    const auto [value, separator] = GetParam();
    const std::string text = CStr(value, separator);
    float back = std::numeric_limits<float>::quiet_NaN();
    ASSERT_EQ(errorNumber([&] { back = CSng(text, separator); }), 0) << text;
    EXPECT_EQ(back, value) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Conversions, SingleRoundTrip,
    testing::Combine(testing::Values(1000.0f, 1005.0f, -300.0f, 99990.0f, 0.5f, -0.5f, 1234.567f,
                                     1e-3f, 0.1f, 1.0f / 3.0f, 16777216.0f, 16777215.0f, 7.125e6f,
                                     std::nextafter(1000.0f, 2000.0f),
                                     std::nextafter(-300.0f, 0.0f), 3.4e38f, -3.4e38f,
                                     std::numeric_limits<float>::max(),
                                     std::numeric_limits<float>::lowest(),
                                     std::numeric_limits<float>::min(), 1e-40f,
                                     std::numeric_limits<float>::denorm_min()),
                     testing::Values('.', ',')),
    [](const testing::TestParamInfo<std::tuple<float, char>>& info) {
        return "Value" + std::to_string(info.index / 2) +
               (std::get<1>(info.param) == '.' ? "Point" : "Comma");
    });

TEST(Conversions, IntegerRoundTrip) {
    for (int value : {-32768, -32767, -300, -1, 0, 1, 2, 1000, 32766, 32767}) {
        const auto v = static_cast<std::int16_t>(value);
        EXPECT_EQ(CInt(CStr(v), '.'), v);
        EXPECT_EQ(CInt(CStr(v), ','), v);
    }
}

}  // namespace

}  // namespace conversions_test
