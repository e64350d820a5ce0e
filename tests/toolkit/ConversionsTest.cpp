// Text to number and number to text, as the settings and the forms use them.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLocale>
#include <QProcess>
#include <QProcessEnvironment>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "toolkit/Conversions.h"
#include "toolkit/RuntimeError.h"

namespace {

using toolkit::CBool;
using toolkit::CDbl;
using toolkit::CInt;
using toolkit::CSng;
using toolkit::CStr;
using toolkit::RuntimeError;

constexpr int typeMismatch = 13;
constexpr int overflow = 6;

// The number of the RuntimeError the call throws, or 0 when it returns.
template <typename Call>
int errorNumber(Call call) {
    try {
        call();
    } catch (const RuntimeError& error) {
        return error.number();
    }
    return 0;
}

std::string shown(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += c == '\t' ? std::string("\\t") : std::string(1, c);
    }
    return "\"" + out + "\"";
}

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
    const std::string manyDigits = "1" + std::string(2'000'000, '0');
    EXPECT_EQ(CDbl(manyDigits + "e-10000000", '.'), 0.0);
    EXPECT_EQ(CSng(manyDigits + "e-10000000", '.'), 0.0f);
    EXPECT_EQ(errorNumber([&] { CDbl(manyDigits + "e-1000000", '.'); }), overflow);
}

// Text to boolean.

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

// Text to 16-bit integer.

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

// Number to text.

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

// The user's decimal separator.

constexpr const char* reportVariable = "PULSEWARD_REPORT_DECIMAL_SEPARATOR";

TEST(UserDecimalSeparator, IsTheSystemLocales) {
    const QString point = QLocale::system().decimalPoint();
    ASSERT_EQ(point.size(), 1);
    EXPECT_EQ(toolkit::userDecimalSeparator(), point[0].toLatin1());
}

// Runs the test below in a copy of the test program under the given locale and returns what
// the copy reports: the separator, 2.5 as text, and whether "2,25" and "2.25" read as 2.25.
std::string reportUnderLocale(const char* locale) {
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(reportVariable, "1");
    environment.insert("LC_ALL", locale);
    environment.insert("LC_NUMERIC", locale);
    environment.insert("LANG", locale);
    environment.remove("LANGUAGE");
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=UserDecimalSeparator.FollowsTheLocaleOfTheEnvironment"});
    if (!child.waitForFinished(60000) || child.exitCode() != 0) {
        return "child failed";
    }
    const std::string output = child.readAllStandardOutput().toStdString();
    const auto start = output.find("report[");
    const auto end = output.find(']', start);
    if (start == std::string::npos || end == std::string::npos) {
        return "no report";
    }
    return output.substr(start + 7, end - start - 7);
}

TEST(UserDecimalSeparator, FollowsTheLocaleOfTheEnvironment) {
    if (std::getenv(reportVariable) != nullptr) {
        // The copy started below: report and go.
        const auto reads = [](const char* text) {
            float value = 0;
            return errorNumber([&] { value = CSng(text); }) == 0 && value == 2.25f;
        };
        std::printf("report[%c %s %d%d]\n", toolkit::userDecimalSeparator(), CStr(2.5f).c_str(),
                    int(reads("2,25")), int(reads("2.25")));
        std::fflush(stdout);
        return;
    }
    EXPECT_EQ(reportUnderLocale("de_DE.UTF-8"), ", 2,5 10");
    EXPECT_EQ(reportUnderLocale("en_US.UTF-8"), ". 2.5 01");
}

}  // namespace
