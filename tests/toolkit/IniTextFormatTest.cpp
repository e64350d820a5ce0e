// The settings file's text as the store reads and writes it: files as the program and QSettings'
// IniFormat write them, hand-edited and damaged ones, and what each key reads as; and files
// passed between the store and IniFormat (which read every value before values were only text),
// both ways.

#include <gtest/gtest.h>
#include <QMap>
#include <QSettings>
#include <QString>
#include <QStringList>

#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/PulsewardSettings.h"
#include "tests/support/TestEnvironment.h"
#include "toolkit/SettingsStore.h"
#include "toolkit/qt/IniTextFormat.h"

namespace {

using namespace std::string_literals;

constexpr const char* section = "Settings";

std::string pathOf(const std::string& name) {
    return testing_support::configDir() + "/" + name + ".ini";
}

QString qPath(const std::string& name) {
    return QString::fromStdString(pathOf(name));
}

// A file of its own for every reading: QSettings shares what it read of a file among all its
// readers in the process, whatever their format.
std::string freshName() {
    static int files = 0;
    return "IniText" + std::to_string(++files);
}

std::string writeFile(const std::string& bytes) {
    const std::string name = freshName();
    std::ofstream(pathOf(name), std::ios::binary) << bytes;
    return name;
}

std::string bytesOf(const std::string& name) {
    std::ifstream in(pathOf(name), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string copyOf(const std::string& name) {
    return writeFile(bytesOf(name));
}

// A value as the store made it its text when it read through IniFormat.
std::optional<std::string> asText(const QVariant& value) {
    if (!value.isValid()) {
        return std::nullopt;
    }
    if (value.userType() == QMetaType::QStringList) {
        return value.toStringList().join(',').toStdString();
    }
    return value.toString().toStdString();
}

std::optional<std::string> iniFormatRead(const std::string& name, const std::string& key) {
    QSettings settings(qPath(name), QSettings::IniFormat);
    return asText(settings.value(QString::fromStdString(key)));
}

std::optional<std::string> storeRead(const std::string& name, const std::string& inSection,
                                     const std::string& key) {
    return toolkit::createSettingsStore()->read(name, inSection, key);
}

struct FileCase {
    std::string name;
    std::string file;
    std::vector<std::pair<std::string, std::optional<std::string>>> reads;
    // Whether every line is settings, or the store warns of the file.
    bool readable = true;
    // Whether IniFormat read each key the same.
    bool asIniFormat = true;
};

void PrintTo(const FileCase& file, std::ostream* os) {
    *os << file.name;
}

class IniTextFile : public testing::TestWithParam<FileCase> {
  protected:
    void SetUp() override { testing_support::resetAll(); }
};

TEST_P(IniTextFile, EachKeyReadsAsExpected) {
    const FileCase& file = GetParam();
    const std::string name = writeFile(file.file);
    const std::string copy = copyOf(name);
    testing::internal::CaptureStderr();
    for (const auto& [key, expected] : file.reads) {
        EXPECT_EQ(storeRead(name, section, key), expected) << key;
    }
    const std::string warnings = testing::internal::GetCapturedStderr();
    EXPECT_EQ(warnings.empty(), file.readable) << warnings;
    for (const auto& [key, expected] : file.reads) {
        if (file.asIniFormat) {
            EXPECT_EQ(iniFormatRead(copy, std::string(section) + "/" + key), expected)
                << key << ", through IniFormat";
        }
    }
}

const std::string longNumber = "1" + std::string(1 << 20, '0');
const std::string manyCommas(100'000, ',');
const std::string longJunk(200'000, 'x');

INSTANTIATE_TEST_SUITE_P(
    Files, IniTextFile,
    testing::Values(
        FileCase{"AsTheProgramWritesIt",
                 "[Settings]\nAUTOSTART_TICKBOX=0\nAboutLeft=4500\nAlways_On_Top_TICKBOX=1\n"
                 "MainLeft=1500\nMainTop=-300\n",
                 {{"MainLeft", "1500"},
                  {"MainTop", "-300"},
                  {"AboutLeft", "4500"},
                  {"AUTOSTART_TICKBOX", "0"},
                  {"Always_On_Top_TICKBOX", "1"},
                  {"MainWidth", std::nullopt}}},
        FileCase{"IniFormatsMarksForText",
                 "[Settings]\nMainLeft=@@Variant(1)\nMainTop=@String(a\\0b)\nAboutLeft=@@\n"
                 "AboutTop=\"@@a\", @@b\nMainWidth=@@String(x)\n",
                 {{"MainLeft", "@Variant(1)"},
                  {"MainTop", "a\0b"s},
                  {"AboutLeft", "@"},
                  {"AboutTop", "@a,@b"},
                  {"MainWidth", "@String(x)"}}},
        FileCase{
            "StoredTypesAreText",
            "[Settings]\nMainLeft=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\aQCursor\\0\\0\\0\\0\\x1)\n"
            "MainTop=@ByteArray(1500)\nAboutLeft=@Rect(1 2 3 4)\nAboutTop=@Invalid()\n"
            "MainWidth=@Variant(\\0\\0\\0\\n\\0\\xff\\xff\\xff\\xfe)\n"
            "MainHeight=@DateTime(x)\nAboutWidth=@Variant(1), 2\n",
            {{"MainLeft", "@Variant(\0\0\0\x7f\0\0\0\aQCursor\0\0\0\0\x01)"s},
             {"MainTop", "@ByteArray(1500)"},
             {"AboutLeft", "@Rect(1 2 3 4)"},
             {"AboutTop", "@Invalid()"},
             {"MainWidth", "@Variant(\0\0\0\n\0\xC3\xBF\xC3\xBF\xC3\xBF\xC3\xBE)"s},
             {"MainHeight", "@DateTime(x)"},
             {"AboutWidth", "@Variant(1),2"}},
            true,
            false},
        FileCase{"Escapes",
                 "[Settings]\nMainLeft=\\x31\\x35\\60\\060\nMainTop=a\\tb\\\\c\\\"d\\?\\'e\n"
                 "AboutLeft=1\\q2\nAboutTop=\\x\nMainWidth=\\x4g\nMainHeight=tab\\t  \n"
                 "AboutWidth=\\u00e9\nAboutHeight=\\x10041\\1010\n",
                 {{"MainLeft", "1500"},
                  {"MainTop", "a\tb\\c\"d?'e"},
                  {"AboutLeft", "12"},
                  {"AboutTop", ""},
                  {"MainWidth", "\x04g"},
                  {"MainHeight", "tab\t"},
                  {"AboutWidth", "00e9"},
                  {"AboutHeight", "A\xC8\x88"}}},
        FileCase{"QuotesAndLists",
                 "[Settings]\nMainLeft=\"  7  \"\nMainTop=   7   \nAboutLeft=\"1,5\"\n"
                 "AboutTop=1, 5 ,\" 6\"\nAboutWidth=\"a\" \"b\"\n"
                 "AboutHeight=\"x;y=z\" ; a comment\nMainWidth=\"two\nlines\"\nMainHeight=1,2,3\n",
                 {{"MainLeft", "  7  "},
                  {"MainTop", "7"},
                  {"AboutLeft", "1,5"},
                  {"AboutTop", "1,5, 6"},
                  {"AboutWidth", "ab"},
                  {"AboutHeight", "x;y=z"},
                  {"MainWidth", "two\nlines"},
                  {"MainHeight", "1,2,3"}}},
        // A byte order mark is no line that is not settings.
        FileCase{
            "CommentsAndLineBreaks",
            "\xEF\xBB\xBF; written by hand\r\n[Settings]\r\nMainLeft=5 ; five\r\n"
            ";MainTop=6\r\n  MainTop = 7\r\nAboutLeft=1\\\r\n2\n\n\nAboutTop=8;9\rAboutWidth=4",
            {{"MainLeft", "5"},
             {"MainTop", "7"},
             {"AboutLeft", "12"},
             {"AboutTop", "8"},
             {"AboutWidth", "4"}}},
        FileCase{"SectionsAndKeys",
                 "MainLeft=1\n[General]\nMainTop=2\n[Other]\nMainLeft=3\n[%53ettings]\n"
                 "Main%4Ceft=4\nMa%U0069nWidth=9\n[ Settings ]\nMainTop=5\nMainTop=6\n"
                 "[Settings]trailing\nAboutLeft=7\n",
                 {{"MainLeft", "4"},
                  {"MainTop", "6"},
                  {"MainWidth", "9"},
                  {"AboutLeft", "7"},
                  {"AboutTop", std::nullopt}}},
        FileCase{"Unicode",
                 "[Settings]\nMainLeft=Gr\xC3\xBC\xC3\x9F\x65\nMainTop=\xff\xfe\n"
                 "AboutLeft=\"\xC3\"\xBC\nAboutTop=\\xe9\\U0001F600\n",
                 {{"MainLeft", "Gr\xC3\xBC\xC3\x9F\x65"},
                  {"MainTop", "\xEF\xBF\xBD\xEF\xBF\xBD"},
                  {"AboutLeft", "\xC3\xBC"},
                  {"AboutTop",
                   "\xC3\xA9"
                   "0001F600"}}},
        FileCase{"LinesThatAreNotSettings",
                 "[Settings]\nMainLeft=3\njunk line\n[Broken\nMainTop=4\n",
                 {{"MainLeft", "3"}, {"MainTop", std::nullopt}},
                 false},
        FileCase{"LongLines",
                 "[Settings]\nMainLeft=" + longNumber + "\nMainTop=\"" + manyCommas + "\"\n" +
                     longJunk + "\nAboutLeft=5\nAboutTop=" + manyCommas + "\n",
                 {{"MainLeft", longNumber},
                  {"MainTop", manyCommas},
                  {"AboutLeft", "5"},
                  {"AboutTop", manyCommas}},
                 false}),
    [](const testing::TestParamInfo<FileCase>& info) { return info.param.name; });

// A stored type in a numeric key is text that is no number: the default, with a warning.
TEST(IniTextStoredType, NumericKeyGivesTheDefaultWithAWarning) {
    testing_support::resetAll();
    toolkit::setSettingsStore(toolkit::createSettingsStore());
    // IniFormat reads this as the integer 5.
    testing_support::writeSettingsFile(
        "[Settings]\nMainLeft=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)\n");

    testing::internal::CaptureStderr();
    const float left = pulseward::PulsewardSettings::readSingle(pulseward::Setting::MainLeft);
    const std::string warnings = testing::internal::GetCapturedStderr();

    EXPECT_EQ(left, 1000.0f);
    EXPECT_NE(warnings.find("MainLeft holds \"@Variant("), std::string::npos) << warnings;
}

// Texts as the program, a hand or a damaged file might give them, under plain and odd keys.
const std::vector<std::string> texts = {"1000",
                                        "-300",
                                        "1,5",
                                        "",
                                        "  7  ",
                                        " 7",
                                        "7 ",
                                        "\t7\t",
                                        "a=b",
                                        "x;y",
                                        "#1",
                                        "[Settings]",
                                        "@Variant(1)",
                                        "@ByteArray(1500)",
                                        "@",
                                        "@@",
                                        "@String(x)",
                                        "\"quoted\"",
                                        "back\\slash",
                                        "Gr\xC3\xBC\xC3\x9F\x65",
                                        "\xF0\x9F\x98\x80",
                                        "two\nlines",
                                        "cr\rlf",
                                        "nul\0inside"s,
                                        "\0"
                                        "1"s,
                                        "\x1f"
                                        "a",
                                        "\x7f",
                                        "\a\b\f\v",
                                        "%41",
                                        "\\x41",
                                        ",",
                                        ";",
                                        "=",
                                        " ",
                                        "\"",
                                        std::string(5000, 'x')};
const std::vector<std::pair<std::string, std::string>> keys = {
    {"Settings", "MainLeft"},
    {"Settings", "Main Left"},
    {"Settings", "a%b"},
    {"Settings", "Gr\xC3\xBC\xC3\x9F\x65"},
    {"Settings", "semi;colon=\"q\""},
    {"Settings", "sl/ash"},
    {"Other", "MainLeft"},
    {"General", "k"},
    {"Gen eral", "k"}};

// Text i under key i of the list (round the list again), numbered to keep keys apart.
std::vector<std::tuple<std::string, std::string, std::string>> entries() {
    std::vector<std::tuple<std::string, std::string, std::string>> all;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const auto& [inSection, key] = keys[i % keys.size()];
        all.emplace_back(inSection, key + std::to_string(i), texts[i]);
    }
    return all;
}

class IniTextRoundTrip : public testing::Test {
  protected:
    void SetUp() override { testing_support::resetAll(); }
};

TEST_F(IniTextRoundTrip, StoreWritesIniFormatsBytesAndIniFormatReadsThem) {
    const std::string name = freshName();
    QMap<QString, QString> inKeyOrder;
    for (const auto& [inSection, key, text] : entries()) {
        toolkit::createSettingsStore()->write(name, inSection, key, text);
        inKeyOrder.insert(QString::fromStdString(inSection + "/" + key),
                          QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }

    const std::string copy = copyOf(name);
    for (const auto& [inSection, key, text] : entries()) {
        EXPECT_EQ(iniFormatRead(copy, inSection + "/" + key), text) << key;
    }

    // IniFormat writes a fresh file's keys in the order they were set.
    const std::string byIniFormat = freshName();
    {
        QSettings settings(qPath(byIniFormat), QSettings::IniFormat);
        for (auto it = inKeyOrder.begin(); it != inKeyOrder.end(); ++it) {
            settings.setValue(it.key(), it.value());
        }
    }
    EXPECT_EQ(bytesOf(name), bytesOf(byIniFormat));
}

TEST_F(IniTextRoundTrip, WhatIniFormatWroteReadsTheSame) {
    const std::string name = freshName();
    {
        QSettings settings(qPath(name), QSettings::IniFormat);
        for (const auto& [inSection, key, text] : entries()) {
            settings.setValue(QString::fromStdString(inSection + "/" + key),
                              QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
        }
        // A list, as a hand-edited "1, 5" reads.
        settings.setValue("Settings/list", QStringList{"1", " 5", "@x", ""});
    }
    const std::string copy = copyOf(name);
    for (const auto& [inSection, key, text] : entries()) {
        EXPECT_EQ(storeRead(copy, inSection, key), text) << key;
    }
    EXPECT_EQ(storeRead(copy, section, "list"), "1, 5,@x,");

    // The store keeps the list a list when it writes another key.
    toolkit::createSettingsStore()->write(copy, section, "MainTop", "1");
    EXPECT_EQ(iniFormatRead(copyOf(copy), "Settings/list"), "1, 5,@x,");
}

// Files made of the syntax's pieces at random, without IniFormat's stored types: the store's
// format and IniFormat find the same keys with the same texts, and the same lines unreadable.
std::string randomFile(std::mt19937& random) {
    static const std::vector<std::string> sections = {
        "[Settings]",      "[Other]",   "[general]",    "[%General]",
        " [ Settings ] x", "[Settings", "[%53ettings]", "[]"};
    static const std::vector<std::string> keyParts = {
        "MainLeft", "MainTop", " AboutLeft ", "Main%4Ceft", "Ma%U0069nTop",
        "k",        "\"q=\"",  "a b",         "%zz",        "%",
        ""};
    static const std::vector<std::string> valueParts = {
        "1",     "-2.5", " ",   "\t",         ",",      "\"",  "\\", "\\n",      "\\x4", "\\x41",
        "\\101", "\\0",  "\\q", "\\\n",       "\\\r\n", ";c",  "=",  "\xC3\xBC", "\xC3", "\xBC",
        "\xff",  "x",    "@@",  "@String(a)", "@",      "\\x", "\\", "\r",       "\n"};
    static const std::vector<std::string> lineEnds = {"\n", "\r\n", "\r", "\n\r", "", "\n\n"};
    static const std::vector<std::string> otherLines = {"; comment", "junk", "=", "=v", "  "};
    const auto pick = [&random](const std::vector<std::string>& from) {
        return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
    };
    std::string file = random() % 8 == 0 ? "\xEF\xBB\xBF" : "";
    const int lines = static_cast<int>(random() % 12);
    for (int line = 0; line < lines; ++line) {
        const unsigned kind = random() % 10;
        if (kind == 0) {
            file += pick(sections);
        } else if (kind == 1) {
            file += pick(otherLines);
        } else {
            file += pick(keyParts) + "=";
            for (unsigned part = random() % 6; part > 0; --part) {
                file += pick(valueParts);
            }
        }
        file += pick(lineEnds);
    }
    return file;
}

std::vector<std::string> stdStrings(const QStringList& strings) {
    std::vector<std::string> result;
    for (const QString& string : strings) {
        result.push_back(string.toStdString());
    }
    return result;
}

// A list with an item that starts with a single '@' is a list of stored types to IniFormat (of
// which the store read only an empty text); its items are texts all the same.
std::optional<std::string> itemsText(const QVariant& value) {
    if (value.userType() != QMetaType::QVariantList) {
        return asText(value);
    }
    QStringList items;
    for (const QVariant& item : value.toList()) {
        items.append(item.toString());
    }
    return items.join(',').toStdString();
}

TEST_F(IniTextRoundTrip, RandomFilesReadAsIniFormatReadsThem) {
    std::mt19937 random(23);
    for (int round = 0; round < 2000; ++round) {
        const std::string file = randomFile(random);
        const std::string ours = writeFile(file);
        // A byte order mark is only the mark of UTF-8 here; IniFormat would take it into the
        // first line, a key or a line that is no setting.
        const std::string theirs =
            writeFile(file.starts_with("\xEF\xBB\xBF") ? file.substr(3) : file);
        QSettings settings(qPath(ours), toolkit::qt::IniTextFormat::format());
        QSettings iniFormat(qPath(theirs), QSettings::IniFormat);
        const QStringList keys = settings.allKeys();
        ASSERT_EQ(stdStrings(keys), stdStrings(iniFormat.allKeys()))
            << testing::PrintToString(file);
        for (const QString& key : keys) {
            ASSERT_EQ(asText(settings.value(key)), itemsText(iniFormat.value(key)))
                << key.toStdString() << " in " << testing::PrintToString(file);
        }
        ASSERT_EQ(toolkit::qt::IniTextFormat::foundUnreadable(settings.fileName()),
                  iniFormat.status() != QSettings::NoError)
            << testing::PrintToString(file);
    }
}

}  // namespace
