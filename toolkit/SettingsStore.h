#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace toolkit {

// The per-user store of text values addressed by application name, section and key.
class SettingsStore {
  public:
    virtual ~SettingsStore() = default;
    // The stored text, or nothing when the key is absent or the store cannot be read.
    virtual std::optional<std::string> read(std::string_view appName, std::string_view section,
                                            std::string_view key) = 0;
    // Stores the text, on disk before it returns; throws RuntimeError saying why it failed.
    virtual void write(std::string_view appName, std::string_view section, std::string_view key,
                       std::string_view value) = 0;
};

SettingsStore& settingsStore();
void setSettingsStore(std::unique_ptr<SettingsStore> store);
std::unique_ptr<SettingsStore> createSettingsStore();

// The stored text, or the default when the key is absent.
std::string GetSetting(std::string_view appName, std::string_view section, std::string_view key,
                       std::string_view defaultText);
void SaveSetting(std::string_view appName, std::string_view section, std::string_view key,
                 std::string_view value);

}  // namespace toolkit
