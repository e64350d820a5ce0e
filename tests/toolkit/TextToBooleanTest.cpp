// Text to boolean: numbers, and "True" and "False" in any case.

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "tests/toolkit/ConversionChecks.h"
#include "toolkit/Conversions.h"

namespace conversions_test {

namespace {

using toolkit::CBool;

struct BooleanRow {
    std::string text;
    char separator;
    bool expected;
};

void PrintTo(const BooleanRow& row, std::ostream* os) {
    *os << shown(row.text) << " with '" << row.separator << "'";
}

class TextToBoolean : public testing::TestWithParam<BooleanRow> {};

TEST_P(TextToBoolean, Converts) {
    const BooleanRow& row = GetParam();
    EXPECT_EQ(CBool(row.text, row.separator), row.expected);
}

INSTANTIATE_TEST_SUITE_P(Conversions, TextToBoolean,
                         testing::Values(BooleanRow{"0", '.', false},       //
                                         BooleanRow{"0.0", '.', false},     //
                                         BooleanRow{"0,0", ',', false},     //
                                         BooleanRow{"-0", '.', false},      //
                                         BooleanRow{" 0 ", '.', false},     //
                                         BooleanRow{"1", '.', true},        //
                                         BooleanRow{"2", '.', true},        //
                                         BooleanRow{"-1", '.', true},       //
                                         BooleanRow{"0.5", '.', true},      //
                                         BooleanRow{"0,5", ',', true},      //
                                         BooleanRow{"1e-30", '.', true},    //
                                         BooleanRow{"True", '.', true},     //
                                         BooleanRow{"true", '.', true},     //
                                         BooleanRow{"TRUE", '.', true},     //
                                         BooleanRow{"tRuE", '.', true},     //
                                         BooleanRow{" True ", '.', true},   //
                                         BooleanRow{"False", '.', false},   //
                                         BooleanRow{"false", '.', false},   //
                                         BooleanRow{"FALSE", '.', false},   //
                                         BooleanRow{"fAlSe", '.', false}),  //
                         [](const testing::TestParamInfo<BooleanRow>& info) {
                             return "Row" + std::to_string(info.index);
                         });

TEST(Conversions, BooleanTurnsDownWordsOtherThanTrueAndFalse) {
    for (const char* text : {"yes", "no", "T", "F", "on", "Tru", "Falsey", "True False"}) {
        EXPECT_EQ(errorNumber([&] { CBool(text, '.'); }), typeMismatch) << text;
    }
    // The fraction needs the separator it is given.
    EXPECT_EQ(errorNumber([] { CBool("0.5", ','); }), typeMismatch);
}

}  // namespace

}  // namespace conversions_test
