// The per-user settings store: one INI file per program in $XDG_CONFIG_HOME.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/TestEnvironment.h"
#include "toolkit/RuntimeError.h"
#include "toolkit/SettingsStore.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* app = "FERN-BADGER-PULSEWARD";
constexpr const char* section = "Settings";

std::string fileText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The file as section -> key -> raw text, or nothing when a line is neither a section header
// nor key=value.
using IniContents = std::map<std::string, std::map<std::string, std::string>>;
std::optional<IniContents> parseIni(const std::string& text) {
    IniContents contents;
    std::string current;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty()) {
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']') {
                return std::nullopt;
            }
            current = line.substr(1, line.size() - 2);
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string::npos || equals == 0) {
            return std::nullopt;
        }
        contents[current][line.substr(0, equals)] = line.substr(equals + 1);
    }
    return contents;
}

// Sets an environment variable for the scope, then puts the old value back.
class ScopedEnvironment {
  public:
    ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

class SettingsStoreTest : public testing::Test {
  protected:
    void SetUp() override {
        testing_support::resetAll();
        toolkit::setSettingsStore(toolkit::createSettingsStore());
    }

    // Reads the store's file under another program name, so that the store parses what is on
    // disk rather than anything it remembers from its own writes.
    static std::optional<std::string> readCopyOfFile(const std::string& key) {
        static int copies = 0;
        const std::string copyName = "StoreCopy" + std::to_string(++copies);
        std::ofstream(testing_support::configDir() + "/" + copyName + ".ini", std::ios::trunc)
            << testing_support::readSettingsFile();
        return toolkit::createSettingsStore()->read(copyName, section, key);
    }
};

TEST_F(SettingsStoreTest, AbsentKeyGivesTheDefault) {
    EXPECT_EQ(toolkit::GetSetting(app, section, "MainLeft", "1000"), "1000");
    EXPECT_EQ(toolkit::createSettingsStore()->read(app, section, "MainLeft"), std::nullopt);

    // Another key, or the same key in another section, is not this key.
    toolkit::SaveSetting(app, section, "MainTop", "5");
    toolkit::SaveSetting(app, "Other", "MainLeft", "6");
    EXPECT_EQ(toolkit::GetSetting(app, section, "MainLeft", "1000"), "1000");
    EXPECT_EQ(toolkit::GetSetting(app, section, "MainTop", "1000"), "5");
    EXPECT_EQ(toolkit::GetSetting("OtherProgram", section, "MainTop", "7"), "7");
}

TEST_F(SettingsStoreTest, WriteIsOnDiskWhenItReturns) {
    toolkit::SaveSetting(app, section, "MainLeft", "1234");

    const auto contents = parseIni(fileText(testing_support::configDir() + "/" + app + ".ini"));
    ASSERT_TRUE(contents) << testing_support::readSettingsFile();
    ASSERT_TRUE(contents->count(section)) << testing_support::readSettingsFile();
    EXPECT_EQ(contents->at(section), (std::map<std::string, std::string>{{"MainLeft", "1234"}}));
}

TEST_F(SettingsStoreTest, MissingSettingsFolderIsCreated) {
    const std::string folder = testing_support::configDir() + "/not/yet/there";
    ScopedEnvironment config("XDG_CONFIG_HOME", folder);

    toolkit::createSettingsStore()->write(app, section, "MainTop", "-300");

    const auto contents = parseIni(fileText(folder + "/" + app + ".ini"));
    ASSERT_TRUE(contents && contents->count(section));
    EXPECT_EQ(contents->at(section).at("MainTop"), "-300");
}

TEST_F(SettingsStoreTest, LaterWriteReplacesTheEarlierValue) {
    toolkit::SaveSetting(app, section, "MainLeft", "1000");
    toolkit::SaveSetting(app, section, "MainLeft", "-300");

    EXPECT_EQ(toolkit::GetSetting(app, section, "MainLeft", "x"), "-300");
    const auto contents = parseIni(testing_support::readSettingsFile());
    ASSERT_TRUE(contents && contents->count(section));
    EXPECT_EQ(contents->at(section), (std::map<std::string, std::string>{{"MainLeft", "-300"}}));
}

TEST_F(SettingsStoreTest, FreshStoreReadsWhatAnotherWrote) {
    toolkit::createSettingsStore()->write(app, section, "MainWidth", "1860");
    toolkit::createSettingsStore()->write(app, section, "AUTOSTART_TICKBOX", "0");

    auto fresh = toolkit::createSettingsStore();
    EXPECT_EQ(fresh->read(app, section, "MainWidth"), "1860");
    EXPECT_EQ(fresh->read(app, section, "AUTOSTART_TICKBOX"), "0");
}

TEST_F(SettingsStoreTest, ReadsSeeTheFileChangedBehindTheirBack) {
    toolkit::SaveSetting(app, section, "MainLeft", "1000");
    EXPECT_EQ(toolkit::GetSetting(app, section, "MainLeft", "x"), "1000");

    testing_support::writeSettingsFile("[Settings]\nMainLeft=-25\nMainTop=40\n");

    EXPECT_EQ(toolkit::GetSetting(app, section, "MainLeft", "x"), "-25");
    EXPECT_EQ(toolkit::GetSetting(app, section, "MainTop", "x"), "40");
}

TEST_F(SettingsStoreTest, HandEditedUnquotedCommaReadsAsWritten) {
    testing_support::writeSettingsFile("[Settings]\nMainLeft=1,5\nMainTop=1,2,3\n");

    EXPECT_EQ(toolkit::GetSetting(app, section, "MainLeft", "x"), "1,5");
    EXPECT_EQ(toolkit::GetSetting(app, section, "MainTop", "x"), "1,2,3");
}

TEST_F(SettingsStoreTest, WriteKeepsOtherKeysAndSections) {
    testing_support::writeSettingsFile(
        "[Settings]\nMainTop=40\nAboutLeft=7\n\n[Other]\nMainLeft=9\n");

    toolkit::SaveSetting(app, section, "MainLeft", "12");

    const auto contents = parseIni(testing_support::readSettingsFile());
    ASSERT_TRUE(contents) << testing_support::readSettingsFile();
    EXPECT_EQ(
        *contents,
        (IniContents{{"Settings", {{"MainTop", "40"}, {"AboutLeft", "7"}, {"MainLeft", "12"}}},
                     {"Other", {{"MainLeft", "9"}}}}));
}

class SettingsStoreRoundTrip : public SettingsStoreTest,
                               public testing::WithParamInterface<std::string> {};

TEST_P(SettingsStoreRoundTrip, TextComesBackUnchanged) {
    const std::string& text = GetParam();
    toolkit::SaveSetting(app, section, "MainLeft", text);

    EXPECT_EQ(toolkit::GetSetting(app, section, "MainLeft", "<absent>"), text);
    EXPECT_EQ(readCopyOfFile("MainLeft"), text) << testing_support::readSettingsFile();
}

INSTANTIATE_TEST_SUITE_P(Texts, SettingsStoreRoundTrip,
                         testing::Values("1000", "-300", "1,5", "2", "1.5", "0", "", "True",
                                         "1,2,3", "  7  ", "a=b", "x;y", "#1", "[Settings]",
                                         "@Variant(1)", "\"quoted\"", "back\\slash",
                                         "Gr\u00fc\u00dfe", "two\nlines"),
                         [](const testing::TestParamInfo<std::string>& info) {
                             return "Text" + std::to_string(info.index);
                         });

TEST_F(SettingsStoreTest, WriteThatCannotCreateTheFolderThrows) {
    const std::string blocker = testing_support::configDir() + "/afile";
    std::ofstream(blocker) << "not a folder";
    ScopedEnvironment config("XDG_CONFIG_HOME", blocker + "/sub");

    auto store = toolkit::createSettingsStore();
    EXPECT_THROW(store->write(app, section, "MainLeft", "5"), toolkit::RuntimeError);
    EXPECT_THROW(toolkit::SaveSetting(app, section, "MainLeft", "5"), toolkit::RuntimeError);
    // Reading such a store is not an error: the key is absent.
    EXPECT_EQ(store->read(app, section, "MainLeft"), std::nullopt);
    EXPECT_EQ(fileText(blocker), "not a folder");
}

TEST_F(SettingsStoreTest, WriteThatCannotReplaceTheFileThrows) {
    // A folder where the file should be: the store cannot put its file in place.
    fs::create_directory(testing_support::settingsFile());

    EXPECT_THROW(toolkit::SaveSetting(app, section, "MainLeft", "5"), toolkit::RuntimeError);
    EXPECT_TRUE(fs::is_directory(testing_support::settingsFile()));
    fs::remove_all(testing_support::settingsFile());
}

TEST_F(SettingsStoreTest, FileStaysWholeThroughManyWrites) {
    const std::vector<std::string> keys = {
        "MainLeft",         "MainTop",     "MainWidth",
        "MainHeight",       "AboutLeft",   "AboutTop",
        "AboutWidth",       "AboutHeight", "Always_On_Top_TICKBOX",
        "AUTOSTART_TICKBOX"};
    const auto folderListing = [] {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(testing_support::configDir())) {
            names.insert(entry.path().filename().string());
        }
        return names;
    };
    std::set<std::string> leftBehind = folderListing();
    leftBehind.insert(std::string(app) + ".ini");

    std::map<std::string, std::string> expected;
    for (int round = 0; round < 30; ++round) {
        for (const auto& key : keys) {
            // Values that grow and shrink, so a file written in place would keep a stale tail.
            const std::string value =
                round % 2 ? std::to_string(round) : std::string(40 - round, '9');
            toolkit::SaveSetting(app, section, key, value);
            expected[key] = value;

            const auto contents = parseIni(testing_support::readSettingsFile());
            ASSERT_TRUE(contents) << "after " << key << " in round " << round << ":\n"
                                  << testing_support::readSettingsFile();
            ASSERT_EQ(contents->count(section), 1u);
            for (const auto& [k, v] : contents->at(section)) {
                ASSERT_EQ(expected.count(k), 1u) << "unexpected key " << k;
                ASSERT_EQ(expected.at(k), v) << k;
            }
            ASSERT_EQ(contents->at(section).size(), expected.size());
        }
    }

    // Nothing but the file is left behind in the folder.
    EXPECT_EQ(folderListing(), leftBehind);
}

// A process killed while it took the store's lock leaves the lock file empty, naming no owner.
TEST_F(SettingsStoreTest, AnEmptyLockLeftByAKilledWriterDoesNotHoldUpTheNextWrite) {
    const fs::path lock = testing_support::settingsFile() + ".lock";
    std::ofstream{lock};
    fs::last_write_time(lock, fs::file_time_type::clock::now() - std::chrono::seconds(5));

    // Qt would wait until the lock is 30 s old; this waits no longer than 20 s.
    auto written = std::async(std::launch::async, [] {
        toolkit::createSettingsStore()->write(app, section, "MainLeft", "1500");
    });
    ASSERT_EQ(written.wait_for(std::chrono::seconds(20)), std::future_status::ready)
        << "the write waits on the abandoned lock";
    written.get();
    EXPECT_EQ(readCopyOfFile("MainLeft"), "1500");
}

}  // namespace
