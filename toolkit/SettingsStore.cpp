#include "SettingsStore.h"

namespace toolkit {

namespace {
std::unique_ptr<SettingsStore>& current() {
    static std::unique_ptr<SettingsStore> store;
    return store;
}
}  // namespace

SettingsStore& settingsStore() {
    if (!current()) {
        current() = createSettingsStore();
    }
    return *current();
}

void setSettingsStore(std::unique_ptr<SettingsStore> store) {
    current() = std::move(store);
}

std::string GetSetting(std::string_view appName, std::string_view section, std::string_view key,
                       std::string_view defaultText) {
    auto stored = settingsStore().read(appName, section, key);
    return stored ? *stored : std::string(defaultText);
}

void SaveSetting(std::string_view appName, std::string_view section, std::string_view key,
                 std::string_view value) {
    settingsStore().write(appName, section, key, value);
}

}  // namespace toolkit
