// Decimal text to single and double: what converts, what every text-to-number conversion turns
// down, and what is out of range.

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "tests/toolkit/ConversionChecks.h"
#include "toolkit/Conversions.h"

namespace conversions_test {

namespace {

using toolkit::CBool;
using toolkit::CDbl;
using toolkit::CInt;
using toolkit::CSng;

// Decimal text that converts.

struct NumberRow {
    std::string text;
    char separator;
    double expected;
};

void PrintTo(const NumberRow& row, std::ostream* os) {
    *os << shown(row.text) << " with '" << row.separator << "'";
}

class TextToNumber : public testing::TestWithParam<NumberRow> {};

TEST_P(TextToNumber, ConvertsToSingleAndDouble) {
    const NumberRow& row = GetParam();
    EXPECT_EQ(CDbl(row.text, row.separator), row.expected);
    EXPECT_EQ(CSng(row.text, row.separator), static_cast<float>(row.expected));
}

INSTANTIATE_TEST_SUITE_P(Conversions, TextToNumber,
                         testing::Values(NumberRow{"1.5", '.', 1.5},            //
                                         NumberRow{"1,5", ',', 1.5},            //
                                         NumberRow{"-1.5", '.', -1.5},          //
                                         NumberRow{"-1,5", ',', -1.5},          //
                                         NumberRow{"+2", '.', 2},               //
                                         NumberRow{"1000", ',', 1000},          //
                                         NumberRow{"-300", '.', -300},          //
                                         NumberRow{"0", '.', 0},                //
                                         NumberRow{"0.5", '.', 0.5},            //
                                         NumberRow{",25", ',', 0.25},           //
                                         NumberRow{".25", '.', 0.25},           //
                                         NumberRow{"7.", '.', 7},               //
                                         NumberRow{"007", '.', 7},              //
                                         NumberRow{"  42  ", '.', 42},          //
                                         NumberRow{"\t-3,75\t", ',', -3.75},    //
                                         NumberRow{"1234.567", '.', 1234.567},  //
                                         NumberRow{"99990", '.', 99990},        //
                                         NumberRow{"1e-50", '.', 1e-50}),       //
                         [](const testing::TestParamInfo<NumberRow>& info) {
                             return "Row" + std::to_string(info.index);
                         });

TEST(Conversions, SingleKeepsOnlySinglePrecision) {
    // 16777217 is not a single; the nearest even single is 16777216.
    EXPECT_EQ(CSng("16777217", '.'), 16777216.0f);
    EXPECT_EQ(CDbl("16777217", '.'), 16777217.0);
    EXPECT_EQ(CSng("0.1", '.'), 0.1f);
    EXPECT_EQ(CDbl("0.1", '.'), 0.1);
}

// Text that every text-to-number conversion turns down.

struct BadTextRow {
    std::string text;
    char separator;
};

void PrintTo(const BadTextRow& row, std::ostream* os) {
    *os << shown(row.text) << " with '" << row.separator << "'";
}

class NotANumber : public testing::TestWithParam<BadTextRow> {};

TEST_P(NotANumber, IsATypeMismatch) {
    const BadTextRow& row = GetParam();
    EXPECT_EQ(errorNumber([&] { CSng(row.text, row.separator); }), typeMismatch);
    EXPECT_EQ(errorNumber([&] { CDbl(row.text, row.separator); }), typeMismatch);
    EXPECT_EQ(errorNumber([&] { CInt(row.text, row.separator); }), typeMismatch);
    EXPECT_EQ(errorNumber([&] { CBool(row.text, row.separator); }), typeMismatch);
}

INSTANTIATE_TEST_SUITE_P(Conversions, NotANumber,
                         testing::Values(BadTextRow{"", '.'},       //
                                         BadTextRow{"   ", '.'},    //
                                         BadTextRow{"abc", '.'},    //
                                         BadTextRow{"1x", '.'},     //
                                         BadTextRow{"x1", '.'},     //
                                         BadTextRow{"-", '.'},      //
                                         BadTextRow{"+", '.'},      //
                                         BadTextRow{".", '.'},      //
                                         BadTextRow{",", ','},      //
                                         BadTextRow{"-.", '.'},     //
                                         BadTextRow{"1.2.3", '.'},  //
                                         BadTextRow{"1,2,3", ','},  //
                                         BadTextRow{"1.5", ','},    //
                                         BadTextRow{"1,5", '.'},    //
                                         BadTextRow{"1,000", '.'},  //
                                         BadTextRow{"1 2", '.'},    //
                                         BadTextRow{"--1", '.'},    //
                                         BadTextRow{"+-1", '.'},    //
                                         BadTextRow{"- 1", '.'},    //
                                         BadTextRow{"1-", '.'},     //
                                         BadTextRow{"0x10", '.'},   //
                                         BadTextRow{"1e", '.'},     //
                                         BadTextRow{"e5", '.'},     //
                                         BadTextRow{"inf", '.'},    //
                                         BadTextRow{"nan", '.'},    //
                                         BadTextRow{"Truex", '.'},  //
                                         BadTextRow{"1\n", '.'}),   //
                         [](const testing::TestParamInfo<BadTextRow>& info) {
                             return "Row" + std::to_string(info.index);
                         });

TEST(Conversions, SingleOutOfRangeIsAnOverflow) {
    EXPECT_EQ(errorNumber([] { CSng("1e39", '.'); }), overflow);
    EXPECT_EQ(errorNumber([] { CSng("-1e39", '.'); }), overflow);
    EXPECT_EQ(errorNumber([] { CSng("350000000000000000000000000000000000000", '.'); }), overflow);
    EXPECT_EQ(errorNumber([] { CSng("1e99999", '.'); }), overflow);
    // Large however it is written.
    EXPECT_EQ(errorNumber([] { CSng("1" + std::string(50, '0') + "e-5", '.'); }), overflow);
    EXPECT_EQ(errorNumber([] { CSng("0.00001e50", '.'); }), overflow);
    // Still a double, but not a single.
    EXPECT_EQ(CDbl("1e39", '.'), 1e39);
    EXPECT_EQ(errorNumber([] { CDbl("1e309", '.'); }), overflow);
}

TEST(Conversions, TooSmallToHoldIsZeroNotAnOverflow) {
    const std::string tiny = "0." + std::string(60, '0') + "1";
    EXPECT_EQ(CSng(tiny, '.'), 0.0f);
    EXPECT_EQ(CSng("-" + tiny, '.'), 0.0f);
    EXPECT_EQ(CSng("1e-60", '.'), 0.0f);
    EXPECT_EQ(CSng("1000e-50", '.'), 0.0f);
    EXPECT_EQ(CSng("1e-99999", '.'), 0.0f);
    const std::string tinier = "0," + std::string(400, '0') + "1";
    EXPECT_EQ(CDbl(tinier, ','), 0.0);
    // A million digits and more before an exponent that takes yet more away.
    // Built by appending: "1" + std::string(...) trips a false -Wrestrict in GCC 12 at -O3.
    std::string manyDigits = "1";
    manyDigits.append(2'000'000, '0');
    EXPECT_EQ(CDbl(manyDigits + "e-10000000", '.'), 0.0);
    EXPECT_EQ(CSng(manyDigits + "e-10000000", '.'), 0.0f);
    EXPECT_EQ(errorNumber([&] { CDbl(manyDigits + "e-1000000", '.'); }), overflow);
}

}  // namespace

}  // namespace conversions_test
