// The registry settings store, on the test program's own stand-in for HKEY_CURRENT_USER.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/support/TestEnvironment.h"
#include "toolkit/RuntimeError.h"
#include "toolkit/SettingsStore.h"

// After the toolkit's headers: <windows.h> defines macros named like toolkit/Desktop.h's
// stacking constants.
#include <windows.h>

namespace {

constexpr const char* app = "FERN-BADGER-PULSEWARD";
constexpr const char* section = "Settings";
constexpr wchar_t sectionKey[] =
    L"Software\\VB and VBA Program Settings\\FERN-BADGER-PULSEWARD\\Settings";

struct RawValue {
    LSTATUS status = ERROR_FILE_NOT_FOUND;
    DWORD type = REG_NONE;
    std::wstring text;
};

RawValue rawValue(const wchar_t* name) {
    RawValue value;
    wchar_t buffer[512] = {};
    DWORD bytes = sizeof buffer;
    value.status =
        RegGetValueW(HKEY_CURRENT_USER, sectionKey, name, RRF_RT_ANY, &value.type, buffer, &bytes);
    if (value.status == ERROR_SUCCESS) {
        value.text.assign(buffer, wcsnlen(buffer, bytes / sizeof(wchar_t)));
    }
    return value;
}

class RegistryStoreTest : public testing::Test {
  protected:
    void SetUp() override {
        testing_support::resetAll();
        toolkit::setSettingsStore(toolkit::createSettingsStore());
    }
};

TEST_F(RegistryStoreTest, AbsentKeyGivesNothingAndGetSettingTheDefault) {
    auto store = toolkit::createSettingsStore();
    EXPECT_EQ(store->read(app, section, "MainLeft"), std::nullopt);
    EXPECT_EQ(toolkit::GetSetting(app, section, "MainLeft", "1000"), "1000");

    // Another key, the same key in another section or under another program is not this key.
    store->write(app, section, "MainTop", "5");
    store->write(app, "Other", "MainLeft", "6");
    store->write("OtherProgram", section, "MainLeft", "7");
    EXPECT_EQ(store->read(app, section, "MainLeft"), std::nullopt);
    EXPECT_EQ(store->read(app, section, "MainTop"), "5");
    EXPECT_EQ(store->read(app, "Other", "MainLeft"), "6");
    EXPECT_EQ(store->read("OtherProgram", section, "MainLeft"), "7");
}

TEST_F(RegistryStoreTest, WriteStoresAStringValueUnderTheProgramsKey) {
    toolkit::SaveSetting(app, section, "MainLeft", "1234");

    const RawValue value = rawValue(L"MainLeft");
    ASSERT_EQ(value.status, ERROR_SUCCESS);
    EXPECT_EQ(value.type, DWORD(REG_SZ));
    EXPECT_EQ(value.text, L"1234");
}

TEST_F(RegistryStoreTest, LaterWriteReplacesTheEarlierValue) {
    toolkit::SaveSetting(app, section, "MainLeft", "1000");
    toolkit::SaveSetting(app, section, "MainLeft", "-300");
    EXPECT_EQ(toolkit::GetSetting(app, section, "MainLeft", "x"), "-300");
    EXPECT_EQ(rawValue(L"MainLeft").text, L"-300");
}

TEST_F(RegistryStoreTest, ReadsSeeValuesWrittenBehindTheirBack) {
    auto store = toolkit::createSettingsStore();
    store->write(app, section, "MainLeft", "1000");
    const std::wstring text = L"-25";
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, sectionKey, L"MainLeft", REG_SZ, text.c_str(),
                              DWORD((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    EXPECT_EQ(store->read(app, section, "MainLeft"), "-25");
}

TEST_F(RegistryStoreTest, AValueOfAnotherTypeReadsAsAbsent) {
    const DWORD number = 5;
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, sectionKey, L"MainLeft", REG_DWORD, &number,
                              sizeof number),
              ERROR_SUCCESS);
    EXPECT_EQ(toolkit::GetSetting(app, section, "MainLeft", "1000"), "1000");
}

class RegistryRoundTrip : public RegistryStoreTest,
                          public testing::WithParamInterface<std::string> {};

TEST_P(RegistryRoundTrip, TextComesBackUnchanged) {
    const std::string& text = GetParam();
    toolkit::SaveSetting(app, section, "MainLeft", text);
    EXPECT_EQ(toolkit::GetSetting(app, section, "MainLeft", "<absent>"), text);
    EXPECT_EQ(toolkit::createSettingsStore()->read(app, section, "MainLeft"), text);
}

INSTANTIATE_TEST_SUITE_P(Texts, RegistryRoundTrip,
                         testing::Values("1000", "-300", "1,5", "1.5", "", "True", "  7  ", "a=b",
                                         "[Settings]", "back\\slash", "Gr\u00fc\u00dfe",
                                         "two\nlines", std::string(600, '9')),
                         [](const testing::TestParamInfo<std::string>& info) {
                             return "Text" + std::to_string(info.index);
                         });

TEST_F(RegistryStoreTest, AWriteThatFailsThrowsWithTheReason) {
    testing_support::UnwritableSettings unwritable;
    auto store = toolkit::createSettingsStore();
    try {
        store->write(app, section, "MainLeft", "5");
        FAIL() << "the write was accepted";
    } catch (const toolkit::RuntimeError& error) {
        EXPECT_EQ(error.number(), 75);
        const std::string text = error.what();
        EXPECT_NE(text.find("VB and VBA Program Settings\\FERN-BADGER-PULSEWARD\\Settings"),
                  std::string::npos)
            << text;
        const auto reasonAt = text.find("Settings: ");
        ASSERT_NE(reasonAt, std::string::npos) << text;
        EXPECT_GT(text.size(), reasonAt + 12) << "the system's reason follows the key: " << text;
    }
    EXPECT_THROW(toolkit::SaveSetting(app, section, "MainLeft", "5"), toolkit::RuntimeError);
    EXPECT_EQ(store->read(app, section, "MainLeft"), std::nullopt);
}

}  // namespace
