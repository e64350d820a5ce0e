#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pulseward {

enum class Setting {
    MainLeft,
    MainTop,
    MainWidth,
    MainHeight,
    AboutLeft,
    AboutTop,
    AboutWidth,
    AboutHeight,
    Always_On_Top_TICKBOX,
    AUTOSTART_TICKBOX,
};

// Every key the program stores, its default, and the reads and writes of the settings store
// under the program's name and the section "Settings".
//
// The typed reads never end the program on a bad stored text: a text that does not convert,
// or converts to a value the window or control cannot take, gives the key's default and one
// warning line, and stays in the store until the program next writes that key.
class PulsewardSettings {
  public:
    static constexpr std::string_view appName = "FERN-BADGER-PULSEWARD";
    static constexpr std::string_view section = "Settings";

    static std::string_view keyName(Setting key);
    static std::int16_t defaultValue(Setting key);

    // The stored text, or the default's decimal text when the key is absent.
    static std::string read(Setting key);
    // A write that fails shows a message naming the key and the reason; the program goes on.
    static void write(Setting key, std::string_view text);

    static float readSingle(Setting key);  // sizes must be above zero
    static double readDouble(Setting key);
    static bool readBoolean(Setting key);
    static std::int16_t readTickbox(Setting key);  // 0, 1 or 2
};

}  // namespace pulseward
