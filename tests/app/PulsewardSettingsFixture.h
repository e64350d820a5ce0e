#pragma once

// What the settings tests share: every key with its name and default, the stored texts they
// plant, and a fixture with a fresh store and a way to read what the program warns.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/PulsewardSettings.h"
#include "tests/support/TestEnvironment.h"
#include "toolkit/Conversions.h"
#include "toolkit/RuntimeError.h"
#include "toolkit/SettingsStore.h"

namespace settings_test {

using pulseward::PulsewardSettings;
using pulseward::Setting;

struct KeyRow {
    Setting key;
    std::string name;
    std::int16_t defaultValue;
    std::string defaultText;
};

inline const std::vector<KeyRow>& allKeys() {
    static const std::vector<KeyRow> rows = {
        {Setting::MainLeft, "MainLeft", 1000, "1000"},
        {Setting::MainTop, "MainTop", 1000, "1000"},
        {Setting::MainWidth, "MainWidth", 1860, "1860"},
        {Setting::MainHeight, "MainHeight", 780, "780"},
        {Setting::AboutLeft, "AboutLeft", 1000, "1000"},
        {Setting::AboutTop, "AboutTop", 1000, "1000"},
        {Setting::AboutWidth, "AboutWidth", 5430, "5430"},
        {Setting::AboutHeight, "AboutHeight", 5685, "5685"},
        {Setting::Always_On_Top_TICKBOX, "Always_On_Top_TICKBOX", 0, "0"},
        {Setting::AUTOSTART_TICKBOX, "AUTOSTART_TICKBOX", 1, "1"},
    };
    return rows;
}

inline void PrintTo(const KeyRow& row, std::ostream* os) {
    *os << row.name;
}

inline std::string keyTestName(const testing::TestParamInfo<KeyRow>& info) {
    return info.param.name;
}

inline bool isTickbox(Setting key) {
    return key == Setting::Always_On_Top_TICKBOX || key == Setting::AUTOSTART_TICKBOX;
}

// Stores text under the key as the program would find it, bypassing PulsewardSettings.
inline void store(const std::string& key, const std::string& text) {
    toolkit::SaveSetting(PulsewardSettings::appName, PulsewardSettings::section, key, text);
}

// Text with the user's decimal separator in place of every '.'.
inline std::string local(std::string text) {
    for (char& c : text) {
        if (c == '.') {
            c = toolkit::userDecimalSeparator();
        }
    }
    return text;
}

inline std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) {
        lines.push_back(line);
    }
    return lines;
}

class PulsewardSettingsTest : public testing::Test {
  protected:
    void SetUp() override {
        testing_support::resetAll();
        toolkit::setSettingsStore(toolkit::createSettingsStore());
    }

    // Runs the read with stderr captured; returns what it wrote there.
    template <typename Read>
    static std::string stderrOf(Read read) {
        testing::internal::CaptureStderr();
        read();
        return testing::internal::GetCapturedStderr();
    }
};

}  // namespace settings_test
