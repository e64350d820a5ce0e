// A settings file that is not an INI file (junk, a damaged disk block, a stray text): reads go
// on, one warning names the file, and the first write keeps the file, unchanged, beside a fresh
// store that holds whatever could be read from it.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
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

std::string bytesOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string randomBytes(std::size_t count, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(count, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(generator() & 0xFF);
    }
    return bytes;
}

struct Unreadable {
    std::string name;
    std::string bytes;
};

void PrintTo(const Unreadable& file, std::ostream* os) {
    *os << file.name;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        result.push_back(line);
    }
    return result;
}

class UnreadableSettingsFile : public testing::TestWithParam<Unreadable> {
  protected:
    void SetUp() override {
        testing_support::resetAll();
        toolkit::setSettingsStore(toolkit::createSettingsStore());
        std::ofstream(file(), std::ios::binary) << GetParam().bytes;
    }

    void TearDown() override {
        std::error_code ignored;
        fs::remove(backup(), ignored);
        fs::remove(fs::path(backup().string() + "-2"), ignored);
    }

    static fs::path file() { return testing_support::settingsFile(); }
    static fs::path backup() { return fs::path(file().string() + ".unreadable"); }

    static std::optional<std::string> read(const char* key) {
        return toolkit::settingsStore().read(app, section, key);
    }
};

TEST_P(UnreadableSettingsFile, ReadsWarnOnceNamingTheFileAndChangeNothing) {
    testing::internal::CaptureStderr();
    for (const char* key : {"MainLeft", "MainTop", "AUTOSTART_TICKBOX"}) {
        read(key);
    }
    const auto warnings = lines(testing::internal::GetCapturedStderr());

    ASSERT_EQ(warnings.size(), 1u) << testing::PrintToString(warnings);
    EXPECT_NE(warnings[0].find(file().string()), std::string::npos) << warnings[0];
    EXPECT_EQ(bytesOf(file()), GetParam().bytes);
    EXPECT_FALSE(fs::exists(backup()));
}

TEST_P(UnreadableSettingsFile, FirstWriteKeepsTheFileBesideAFreshStore) {
    read("MainLeft");
    const auto readableBefore = read("MainTop");

    testing::internal::CaptureStderr();
    EXPECT_NO_THROW(toolkit::SaveSetting(app, section, "MainLeft", "1500"));
    EXPECT_NO_THROW(toolkit::SaveSetting(app, section, "AUTOSTART_TICKBOX", "0"));
    const std::string warnings = testing::internal::GetCapturedStderr();

    EXPECT_EQ(bytesOf(backup()), GetParam().bytes) << "the unreadable file, byte for byte";
    EXPECT_NE(warnings.find(backup().string()), std::string::npos) << warnings;
    EXPECT_FALSE(fs::exists(backup().string() + "-2")) << "kept once, not at every write";
    EXPECT_EQ(read("MainLeft"), "1500");
    EXPECT_EQ(read("AUTOSTART_TICKBOX"), "0");
    EXPECT_EQ(read("MainTop"), readableBefore) << "what could be read goes on into the new store";
    // The fresh store reads without a warning, in this process and the next.
    testing::internal::CaptureStderr();
    toolkit::createSettingsStore()->read(app, section, "MainLeft");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_P(UnreadableSettingsFile, ABackupFromBeforeIsNotOverwritten) {
    std::ofstream(backup(), std::ios::binary) << "an earlier backup";
    toolkit::SaveSetting(app, section, "MainLeft", "1500");
    EXPECT_EQ(bytesOf(backup()), "an earlier backup");
    EXPECT_EQ(bytesOf(backup().string() + "-2"), GetParam().bytes);
    EXPECT_EQ(read("MainLeft"), "1500");
}

INSTANTIATE_TEST_SUITE_P(
    Files, UnreadableSettingsFile,
    testing::Values(Unreadable{"RandomBytes", randomBytes(600, 1)},
                    Unreadable{"ZeroedBlock", std::string(512, '\0')},
                    Unreadable{"PlainText", "these are not settings\n"},
                    Unreadable{"SettingsWithADamagedTail",
                               "[Settings]\nMainTop=3000\n\xff\xfe\x01 damaged"}),
    [](const testing::TestParamInfo<Unreadable>& info) { return info.param.name; });

// When a write fails, the message says what stood in its way.
TEST(FailedSettingsWrite, SaysWhatStoodInItsWay) {
    testing_support::resetAll();
    toolkit::setSettingsStore(toolkit::createSettingsStore());
    fs::create_directory(testing_support::settingsFile());
    try {
        toolkit::SaveSetting(app, section, "MainLeft", "5");
        ADD_FAILURE() << "the write went through";
    } catch (const toolkit::RuntimeError& error) {
        EXPECT_NE(std::string(error.what()).find("folder"), std::string::npos) << error.what();
    }
    fs::remove_all(testing_support::settingsFile());
}

}  // namespace
