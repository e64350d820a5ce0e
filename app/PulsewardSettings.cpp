#include "app/PulsewardSettings.h"

#include <string>

#include "toolkit/Conversions.h"
#include "toolkit/MsgBox.h"
#include "toolkit/RuntimeError.h"
#include "toolkit/SettingsStore.h"
#include "toolkit/Warning.h"

namespace pulseward {

namespace {

struct KeyInfo {
    std::string_view name;
    std::int16_t defaultValue;
};

constexpr KeyInfo keys[] = {
    {"MainLeft", 1000},       {"MainTop", 1000},     {"MainWidth", 1860},
    {"MainHeight", 780},      {"AboutLeft", 1000},   {"AboutTop", 1000},
    {"AboutWidth", 5430},     {"AboutHeight", 5685}, {"Always_On_Top_TICKBOX", 0},
    {"AUTOSTART_TICKBOX", 1},
};

const KeyInfo& info(Setting key) {
    return keys[static_cast<std::size_t>(key)];
}

bool isSize(Setting key) {
    return key == Setting::MainWidth || key == Setting::MainHeight || key == Setting::AboutWidth ||
           key == Setting::AboutHeight;
}

void warnUnusable(Setting key, const std::string& text) {
    toolkit::Warn(std::string(PulsewardSettings::appName) + ": the setting " +
                  std::string(info(key).name) + " holds \"" + text +
                  "\", which is not usable; using " + std::to_string(info(key).defaultValue));
}

// Converts the stored text, or falls back to the default when it does not convert or the
// value is not one the reader can use.
template <typename Value, typename Convert, typename Usable>
Value readConverted(Setting key, Convert convert, Usable usable) {
    const std::string text = PulsewardSettings::read(key);
    try {
        const Value value = convert(text);
        if (usable(value)) {
            return value;
        }
    } catch (const toolkit::RuntimeError&) {
    }
    warnUnusable(key, text);
    return convert(toolkit::CStr(info(key).defaultValue));
}

}  // namespace

std::string_view PulsewardSettings::keyName(Setting key) {
    return info(key).name;
}

std::int16_t PulsewardSettings::defaultValue(Setting key) {
    return info(key).defaultValue;
}

std::string PulsewardSettings::read(Setting key) {
    return toolkit::GetSetting(appName, section, keyName(key), toolkit::CStr(defaultValue(key)));
}

void PulsewardSettings::write(Setting key, std::string_view text) {
    try {
        toolkit::SaveSetting(appName, section, keyName(key), text);
    } catch (const toolkit::RuntimeError& error) {
        toolkit::MsgBox("The setting \"" + std::string(keyName(key)) +
                        "\" could not be stored.\n\n" + error.what());
    }
}

float PulsewardSettings::readSingle(Setting key) {
    return readConverted<float>(
        key, [](const std::string& text) { return toolkit::CSng(text); },
        [key](float value) { return !isSize(key) || value > 0; });
}

double PulsewardSettings::readDouble(Setting key) {
    return readConverted<double>(
        key, [](const std::string& text) { return toolkit::CDbl(text); },
        [](double) { return true; });
}

bool PulsewardSettings::readBoolean(Setting key) {
    return readConverted<bool>(
        key, [](const std::string& text) { return toolkit::CBool(text); },
        [](bool) { return true; });
}

std::int16_t PulsewardSettings::readTickbox(Setting key) {
    return readConverted<std::int16_t>(
        key, [](const std::string& text) { return toolkit::CInt(text); },
        [](std::int16_t value) { return value >= 0 && value <= 2; });
}

}  // namespace pulseward
