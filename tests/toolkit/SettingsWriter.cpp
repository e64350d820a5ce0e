// For SettingsStoreKillTest: writes the program's ten settings through the settings store,
// round after round, until it is killed. Round r writes the text r to every key in the order of
// pulseward::Setting.
//
//     pulseward_settings_writer CONFIG_FOLDER FIRST_ROUND READY_FD
//
// It writes one byte to READY_FD as it begins its first write.

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "app/PulsewardSettings.h"
#include "toolkit/SettingsStore.h"

int main(int argc, char** argv) {
    using pulseward::PulsewardSettings;
    using pulseward::Setting;
    if (argc != 4) {
        return 2;
    }
    setenv("XDG_CONFIG_HOME", argv[1], 1);
    const long firstRound = std::atol(argv[2]);
    auto store = toolkit::createSettingsStore();
    if (write(std::atoi(argv[3]), "w", 1) != 1) {
        return 3;
    }
    // Bounded, should the test die without killing it.
    for (long round = firstRound; round < firstRound + 100'000; ++round) {
        for (int key = 0; key <= static_cast<int>(Setting::AUTOSTART_TICKBOX); ++key) {
            store->write(PulsewardSettings::appName, PulsewardSettings::section,
                         PulsewardSettings::keyName(static_cast<Setting>(key)),
                         std::to_string(round));
        }
    }
    return 0;
}
