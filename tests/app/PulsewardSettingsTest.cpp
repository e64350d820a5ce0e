// The program's settings: key names, defaults, and typed reads that survive bad stored texts.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/app/PulsewardSettingsFixture.h"

namespace {

using namespace settings_test;
using pulseward::PulsewardSettings;
using pulseward::Setting;

// Keys and defaults.

class EveryKey : public PulsewardSettingsTest, public testing::WithParamInterface<KeyRow> {};

TEST_P(EveryKey, HasItsNameAndDefault) {
    const KeyRow& row = GetParam();
    EXPECT_EQ(PulsewardSettings::keyName(row.key), row.name);
    EXPECT_EQ(PulsewardSettings::defaultValue(row.key), row.defaultValue);
}

TEST_P(EveryKey, EmptyStoreReadsAsTheDefaultText) {
    const KeyRow& row = GetParam();
    EXPECT_EQ(PulsewardSettings::read(row.key), row.defaultText);
}

TEST_P(EveryKey, EmptyStoreGivesTheDefaultToEveryReaderWithoutWarning) {
    const KeyRow& row = GetParam();
    const std::string warnings = stderrOf([&] {
        EXPECT_EQ(PulsewardSettings::readSingle(row.key), float(row.defaultValue));
        EXPECT_EQ(PulsewardSettings::readDouble(row.key), double(row.defaultValue));
        EXPECT_EQ(PulsewardSettings::readBoolean(row.key), row.defaultValue != 0);
        if (isTickbox(row.key)) {
            EXPECT_EQ(PulsewardSettings::readTickbox(row.key), row.defaultValue);
        }
    });
    EXPECT_EQ(warnings, "");
}

TEST_P(EveryKey, WriteStoresUnderTheKeyNameInTheSettingsSection) {
    const KeyRow& row = GetParam();
    PulsewardSettings::write(row.key, "2");

    EXPECT_EQ(toolkit::GetSetting("FERN-BADGER-PULSEWARD", "Settings", row.name, "absent"), "2");
    EXPECT_EQ(PulsewardSettings::read(row.key), "2");
    EXPECT_NE(testing_support::readSettingsFile().find("\n" + row.name + "=2\n"), std::string::npos)
        << testing_support::readSettingsFile();
    EXPECT_TRUE(testing_support::messages().empty());
}

INSTANTIATE_TEST_SUITE_P(Keys, EveryKey, testing::ValuesIn(allKeys()), keyTestName);

// Typed reads of good stored texts.

enum class Reader { Single, Double, Boolean, Tickbox };

struct GoodRow {
    Setting key;
    std::string text;
    Reader reader;
    double expected;
};

void PrintTo(const GoodRow& row, std::ostream* os) {
    *os << PulsewardSettings::keyName(row.key) << " = \"" << row.text << "\"";
}

double readAs(Reader reader, Setting key) {
    switch (reader) {
        case Reader::Single:
            return PulsewardSettings::readSingle(key);
        case Reader::Double:
            return PulsewardSettings::readDouble(key);
        case Reader::Boolean:
            return PulsewardSettings::readBoolean(key) ? 1 : 0;
        case Reader::Tickbox:
            return PulsewardSettings::readTickbox(key);
    }
    return -12345;
}

class GoodText : public PulsewardSettingsTest, public testing::WithParamInterface<GoodRow> {};

TEST_P(GoodText, ReadsAsStoredWithoutWarning) {
    const GoodRow& row = GetParam();
    const std::string text = local(row.text);
    store(std::string(PulsewardSettings::keyName(row.key)), text);

    EXPECT_EQ(PulsewardSettings::read(row.key), text);
    double value = 0;
    const std::string warnings = stderrOf([&] { value = readAs(row.reader, row.key); });
    EXPECT_EQ(value, row.expected);
    EXPECT_EQ(warnings, "");
    EXPECT_TRUE(testing_support::reportedErrors().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Reads, GoodText,
    testing::Values(GoodRow{Setting::MainLeft, "-300", Reader::Single, -300},
                    GoodRow{Setting::MainLeft, "0", Reader::Single, 0},
                    GoodRow{Setting::MainTop, "99990", Reader::Single, 99990},
                    GoodRow{Setting::AboutLeft, "-5", Reader::Single, -5},
                    GoodRow{Setting::AboutTop, "1.5", Reader::Single, 1.5},
                    GoodRow{Setting::MainWidth, "1234.5", Reader::Single, 1234.5},
                    GoodRow{Setting::MainHeight, "1", Reader::Single, 1},
                    GoodRow{Setting::AboutWidth, "0.25", Reader::Single, 0.25},
                    GoodRow{Setting::AboutHeight, " 6000 ", Reader::Single, 6000},
                    GoodRow{Setting::AUTOSTART_TICKBOX, "1", Reader::Double, 1},
                    GoodRow{Setting::AUTOSTART_TICKBOX, "0", Reader::Double, 0},
                    GoodRow{Setting::AUTOSTART_TICKBOX, "0.1", Reader::Double, 0.1},
                    GoodRow{Setting::AUTOSTART_TICKBOX, "1e300", Reader::Double, 1e300},
                    GoodRow{Setting::Always_On_Top_TICKBOX, "True", Reader::Boolean, 1},
                    GoodRow{Setting::Always_On_Top_TICKBOX, "false", Reader::Boolean, 0},
                    GoodRow{Setting::Always_On_Top_TICKBOX, "2", Reader::Boolean, 1},
                    GoodRow{Setting::Always_On_Top_TICKBOX, "1", Reader::Boolean, 1},
                    GoodRow{Setting::Always_On_Top_TICKBOX, "0", Reader::Boolean, 0},
                    GoodRow{Setting::AUTOSTART_TICKBOX, "-1", Reader::Boolean, 1},
                    GoodRow{Setting::AUTOSTART_TICKBOX, "0.5", Reader::Boolean, 1},
                    GoodRow{Setting::AUTOSTART_TICKBOX, "FALSE", Reader::Boolean, 0},
                    GoodRow{Setting::Always_On_Top_TICKBOX, "0", Reader::Tickbox, 0},
                    GoodRow{Setting::Always_On_Top_TICKBOX, "1", Reader::Tickbox, 1},
                    GoodRow{Setting::Always_On_Top_TICKBOX, "2", Reader::Tickbox, 2},
                    GoodRow{Setting::AUTOSTART_TICKBOX, "0", Reader::Tickbox, 0},
                    GoodRow{Setting::AUTOSTART_TICKBOX, "2", Reader::Tickbox, 2},
                    GoodRow{Setting::AUTOSTART_TICKBOX, "1.6", Reader::Tickbox, 2}),
    [](const testing::TestParamInfo<GoodRow>& info) {
        return std::string(PulsewardSettings::keyName(info.param.key)) + "Row" +
               std::to_string(info.index);
    });

// Stored texts the readers cannot use: a value they can use (mostly the key's default), one
// warning, the text left alone.

struct BadRow {
    Setting key;
    std::string text;
};

void PrintTo(const BadRow& row, std::ostream* os) {
    *os << PulsewardSettings::keyName(row.key) << " = \"" << row.text << "\"";
}

class UnusableText : public PulsewardSettingsTest, public testing::WithParamInterface<BadRow> {
  protected:
    // Stores the text, runs the read, and checks everything but the value it gave.
    void expectOneWarning(const std::function<void()>& read) {
        const BadRow& row = GetParam();
        const std::string name(PulsewardSettings::keyName(row.key));
        store(name, row.text);
        const std::string fileBefore = testing_support::readSettingsFile();

        const std::string warnings = stderrOf(read);

        const auto lines = linesOf(warnings);
        ASSERT_EQ(lines.size(), 1u) << warnings;
        EXPECT_NE(lines[0].find(name), std::string::npos) << lines[0];
        EXPECT_NE(lines[0].find("\"" + row.text + "\""), std::string::npos) << lines[0];
        EXPECT_TRUE(testing_support::reportedErrors().empty());
        EXPECT_TRUE(testing_support::messages().empty());
        EXPECT_EQ(testing_support::readSettingsFile(), fileBefore);
        EXPECT_EQ(PulsewardSettings::read(row.key), row.text);
    }
};

// Every key is read as a number somewhere; the tickboxes also as a boolean and a tickbox.
class GarbageText : public UnusableText {};
class TickboxGarbageText : public UnusableText {};

TEST_P(GarbageText, SingleGivesTheDefault) {
    const Setting key = GetParam().key;
    float value = -1;
    expectOneWarning([&] { value = PulsewardSettings::readSingle(key); });
    EXPECT_EQ(value, float(PulsewardSettings::defaultValue(key)));
}

TEST_P(GarbageText, DoubleGivesTheDefault) {
    const Setting key = GetParam().key;
    double value = -1;
    expectOneWarning([&] { value = PulsewardSettings::readDouble(key); });
    EXPECT_EQ(value, double(PulsewardSettings::defaultValue(key)));
}

TEST_P(TickboxGarbageText, BooleanGivesTheDefault) {
    const Setting key = GetParam().key;
    std::optional<bool> value;
    expectOneWarning([&] { value = PulsewardSettings::readBoolean(key); });
    EXPECT_EQ(value, PulsewardSettings::defaultValue(key) != 0);
}

TEST_P(TickboxGarbageText, TickboxGivesTheDefault) {
    const Setting key = GetParam().key;
    std::int16_t value = -1;
    expectOneWarning([&] { value = PulsewardSettings::readTickbox(key); });
    EXPECT_EQ(value, PulsewardSettings::defaultValue(key));
}

std::vector<BadRow> garbageIn(bool onlyTickboxes) {
    std::vector<BadRow> rows;
    for (const KeyRow& key : allKeys()) {
        if (onlyTickboxes && !isTickbox(key.key)) {
            continue;
        }
        for (const char* text : {"abc", "", "1e99999", "--1"}) {
            rows.push_back({key.key, text});
        }
    }
    return rows;
}

std::string badRowName(const testing::TestParamInfo<BadRow>& info) {
    return std::string(PulsewardSettings::keyName(info.param.key)) + "Row" +
           std::to_string(info.index);
}

INSTANTIATE_TEST_SUITE_P(EveryKey, GarbageText, testing::ValuesIn(garbageIn(false)), badRowName);
INSTANTIATE_TEST_SUITE_P(Tickboxes, TickboxGarbageText, testing::ValuesIn(garbageIn(true)),
                         badRowName);

class UnusableSize : public UnusableText {};

TEST_P(UnusableSize, GivesTheDefaultSize) {
    const Setting key = GetParam().key;
    float value = -1;
    expectOneWarning([&] { value = PulsewardSettings::readSingle(key); });
    EXPECT_EQ(value, float(PulsewardSettings::defaultValue(key)));
}

std::vector<BadRow> unusableSizes() {
    std::vector<BadRow> rows;
    for (Setting key :
         {Setting::MainWidth, Setting::MainHeight, Setting::AboutWidth, Setting::AboutHeight}) {
        // Too small, or larger than every screen together (a window nobody sees whole).
        for (const char* text : {"0", "-5", "-0", "-1000", "1e30", "3.4e38", "1000000"}) {
            rows.push_back({key, text});
        }
    }
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Sizes, UnusableSize, testing::ValuesIn(unusableSizes()), badRowName);

class TickboxOutOfRange : public UnusableText {};

// The tickbox shows what the main window made of the text: the keeper runs on any number but
// zero, the pulse starts at launch only on one.
TEST_P(TickboxOutOfRange, GivesTheOptionInForce) {
    const Setting key = GetParam().key;
    std::int16_t value = -1;
    expectOneWarning([&] { value = PulsewardSettings::readTickbox(key); });
    EXPECT_EQ(value, key == Setting::Always_On_Top_TICKBOX ? 1 : 0);
}

std::vector<BadRow> tickboxesOutOfRange() {
    std::vector<BadRow> rows;
    for (Setting key : {Setting::Always_On_Top_TICKBOX, Setting::AUTOSTART_TICKBOX}) {
        for (const char* text : {"3", "-1", "40000", "2.6", "-0.6"}) {
            rows.push_back({key, text});
        }
    }
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Tickboxes, TickboxOutOfRange, testing::ValuesIn(tickboxesOutOfRange()),
                         badRowName);

}  // namespace
