#include "app/PulsewardSettings.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "toolkit/Conversions.h"
#include "toolkit/MsgBox.h"
#include "toolkit/RuntimeError.h"
#include "toolkit/Screen.h"
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

bool isWidth(Setting key) {
    return key == Setting::MainWidth || key == Setting::AboutWidth;
}

bool isHeight(Setting key) {
    return key == Setting::MainHeight || key == Setting::AboutHeight;
}

// A size no screen could show (larger than all of them together) would only make a window
// that nobody sees whole, and costs the memory of its pixels.
bool usableSize(Setting key, float twips) {
    if (isWidth(key)) {
        return twips > 0 && twips <= toolkit::Screen::VirtualWidth();
    }
    if (isHeight(key)) {
        return twips > 0 && twips <= toolkit::Screen::VirtualHeight();
    }
    return true;
}

void warnUnusable(Setting key, const std::string& text, double used) {
    toolkit::Warn(std::string(PulsewardSettings::appName) + ": the setting " +
                  std::string(info(key).name) + " holds \"" + text +
                  "\", which is not usable; using " + toolkit::CStr(static_cast<float>(used)));
}

template <typename Value, typename Convert>
std::optional<Value> converted(const std::string& text, Convert convert) {
    try {
        return convert(text);
    } catch (const toolkit::RuntimeError&) {
        return std::nullopt;
    }
}

// Converts the stored text, or falls back to the default when it does not convert or the
// value is not one the reader can use.
template <typename Value, typename Convert, typename Usable>
Value readConverted(Setting key, Convert convert, Usable usable) {
    const std::string text = PulsewardSettings::read(key);
    const std::optional<Value> value = converted<Value>(text, convert);
    if (value && usable(*value)) {
        return *value;
    }
    const Value fallback = convert(toolkit::CStr(info(key).defaultValue));
    warnUnusable(key, text, double(fallback));
    return fallback;
}

// Writes that failed during the event being handled, reported together at its end.
struct FailedWrites {
    std::vector<std::string> keys;
    std::vector<std::string> reasons;
};

FailedWrites& failedWrites() {
    static FailedWrites failed;
    return failed;
}

std::string quotedList(const std::vector<std::string>& names) {
    std::string list;
    for (std::size_t i = 0; i < names.size(); ++i) {
        list += i == 0 ? "" : i + 1 == names.size() ? " and " : ", ";
        list += "\"" + names[i] + "\"";
    }
    return list;
}

void reportFailedWrites() {
    const FailedWrites failed = std::exchange(failedWrites(), {});
    if (failed.keys.empty()) {
        return;
    }
    std::string text = failed.keys.size() == 1
                           ? "The setting " + quotedList(failed.keys) + " could not be stored."
                           : "The settings " + quotedList(failed.keys) + " could not be stored.";
    for (const std::string& reason : failed.reasons) {
        text += "\n\n" + reason;
    }
    toolkit::MsgBox(text);
}

void addOnce(std::vector<std::string>& list, const std::string& item) {
    if (std::find(list.begin(), list.end(), item) == list.end()) {
        list.push_back(item);
    }
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
        addOnce(failedWrites().keys, std::string(keyName(key)));
        addOnce(failedWrites().reasons, error.what());
        toolkit::atEventEnd("settings not stored", reportFailedWrites);
    }
}

float PulsewardSettings::readSingle(Setting key) {
    return readConverted<float>(
        key, [](const std::string& text) { return toolkit::CSng(text); },
        [key](float value) { return usableSize(key, value); });
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
    const std::string text = read(key);
    const auto value =
        converted<std::int16_t>(text, [](const std::string& t) { return toolkit::CInt(t); });
    if (value && *value >= 0 && *value <= 2) {
        return *value;
    }
    // What the main window made of the same text when it loaded, so that the tickbox shows the
    // option in force: the keeper runs on any number but zero, the pulse starts only on one.
    std::int16_t inForce = 0;
    if (key == Setting::AUTOSTART_TICKBOX) {
        const auto number =
            converted<double>(text, [](const std::string& t) { return toolkit::CDbl(t); });
        inForce = (number ? *number : defaultValue(key)) == 1 ? 1 : 0;
    } else {
        const auto on =
            converted<bool>(text, [](const std::string& t) { return toolkit::CBool(t); });
        inForce = (on ? *on : defaultValue(key) != 0) ? 1 : 0;
    }
    warnUnusable(key, text, inForce);
    return inForce;
}

}  // namespace pulseward
