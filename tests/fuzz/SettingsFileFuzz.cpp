// A settings file of arbitrary bytes: every key read through the program's typed reads gives,
// without a crash or a sanitizer report, either the stored text's value or the key's default,
// and a value the window or control can take. Then one key is written as the program writes
// it, and reads back from the file as written.

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

#include "app/PulsewardSettings.h"
#include "tests/fuzz/FuzzRequire.h"
#include "toolkit/Application.h"
#include "toolkit/Conversions.h"
#include "toolkit/MsgBox.h"
#include "toolkit/RuntimeError.h"
#include "toolkit/Screen.h"

namespace {

using pulseward::PulsewardSettings;
using pulseward::Setting;

constexpr Setting allKeys[] = {
    Setting::MainLeft,          Setting::MainTop,     Setting::MainWidth,
    Setting::MainHeight,        Setting::AboutLeft,   Setting::AboutTop,
    Setting::AboutWidth,        Setting::AboutHeight, Setting::Always_On_Top_TICKBOX,
    Setting::AUTOSTART_TICKBOX,
};

std::string configDir;
std::string settingsPath;
std::string lastMessage;

void require(bool holds, const char* property, Setting key) {
    if (!holds) {
        const std::string said = lastMessage.empty() ? "" : "; the store said: " + lastMessage;
        fuzz::require(false, property,
                      "key " + std::string(PulsewardSettings::keyName(key)) + said);
    }
}

// Qt rereads a settings file only when its size or modification time changed: each content
// gets a time of its own, so none goes unseen.
void markChanged() {
    static long changes = 0;
    ++changes;
    const timespec times[2] = {{1'000'000'000 + changes, 0}, {1'000'000'000 + changes, 0}};
    utimensat(AT_FDCWD, settingsPath.c_str(), times, 0);
}

// A size must be above zero and no larger than all screens together.
bool usableSize(Setting key, float twips) {
    if (key == Setting::MainWidth || key == Setting::AboutWidth) {
        return twips > 0 && twips <= toolkit::Screen::VirtualWidth();
    }
    if (key == Setting::MainHeight || key == Setting::AboutHeight) {
        return twips > 0 && twips <= toolkit::Screen::VirtualHeight();
    }
    return true;
}

// The About dialog's tickbox shows a stored 0, 1 or 2 as it is, and anything else as the option
// the main window put in force with it.
void checkTickboxRead(Setting key) {
    const std::string text = PulsewardSettings::read(key);
    const std::int16_t value = PulsewardSettings::readTickbox(key);
    require(value >= 0 && value <= 2, "a tickbox reads 0, 1 or 2", key);
    std::optional<std::int16_t> stored;
    try {
        stored = toolkit::CInt(text);
    } catch (const toolkit::RuntimeError&) {
    }
    if (stored && *stored >= 0 && *stored <= 2) {
        require(value == *stored, "a tickbox in range reads as stored", key);
        return;
    }
    const bool inForce = key == Setting::AUTOSTART_TICKBOX ? PulsewardSettings::readDouble(key) == 1
                                                           : PulsewardSettings::readBoolean(key);
    require(value == (inForce ? 1 : 0), "a tickbox out of range shows the option in force", key);
}

// The typed read gives the stored text's value when it converts and the reader can use it,
// else the default.
template <typename Value, typename Read, typename Convert, typename Usable>
void checkTypedRead(Setting key, Read read, Convert convert, Usable usable) {
    const std::string text = PulsewardSettings::read(key);
    const Value value = read(key);
    std::optional<Value> stored;
    try {
        stored = convert(text);
    } catch (const toolkit::RuntimeError&) {
    }
    const Value expected = stored && usable(*stored)
                               ? *stored
                               : convert(toolkit::CStr(PulsewardSettings::defaultValue(key)));
    require(value == expected, "a typed read gives the stored value or the default", key);
    require(usable(value), "a typed read gives a usable value", key);
}

// Each key through the reads the program gives it: places and sizes as singles, the
// options as the main window and the About dialog read them.
void checkReads(Setting key) {
    switch (key) {
        case Setting::Always_On_Top_TICKBOX:
            checkTypedRead<bool>(
                key, PulsewardSettings::readBoolean,
                [](const std::string& t) { return toolkit::CBool(t); }, [](bool) { return true; });
            break;
        case Setting::AUTOSTART_TICKBOX:
            checkTypedRead<double>(
                key, PulsewardSettings::readDouble,
                [](const std::string& t) { return toolkit::CDbl(t); },
                [](double v) { return std::isfinite(v); });
            break;
        default:
            checkTypedRead<float>(
                key, PulsewardSettings::readSingle,
                [](const std::string& t) { return toolkit::CSng(t); },
                [key](float v) { return std::isfinite(v) && usableSize(key, v); });
            return;
    }
    checkTickboxRead(key);
}

// A key and a single's text as the program writes them, chosen by the input.
std::pair<Setting, std::string> writeFor(const std::uint8_t* data, std::size_t size) {
    std::uint32_t hash = 2166136261u;
    for (std::size_t i = 0; i < size; ++i) {
        hash = (hash ^ data[i]) * 16777619u;
    }
    const Setting key = allKeys[hash % std::size(allKeys)];
    const float value = static_cast<float>(static_cast<std::int32_t>(hash)) / 4096.0f;
    return {key, toolkit::CStr(value)};
}

}  // namespace

// Qt trusts the lengths inside a stored "@Variant(...)" value and may ask for gigabytes it
// never touches, which the address sanitizer would count in its shadow memory; here, as on a
// machine without that memory, such an allocation fails (malloc returns null) and Qt copes.
extern "C" const char* __asan_default_options() {
    return "allocator_may_return_null=1:max_allocation_size_mb=1024";
}

extern "C" int LLVMFuzzerInitialize(int*, char*** argv) {
    // The program reads its settings with its application running, as Qt needs for some
    // values a file may hold (a stored cursor or picture); here on Qt's offscreen platform.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int applicationArgc = 1;
    static toolkit::Application application(applicationArgc, *argv,
                                            std::string(PulsewardSettings::appName));
    // In memory where there is a tmpfs: the store syncs every write to disk.
    std::string folder = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    folder += "/pulseward-fuzz-XXXXXX";
    if (!mkdtemp(folder.data())) {
        std::perror("mkdtemp");
        std::abort();
    }
    configDir = folder;
    settingsPath = configDir + "/" + std::string(PulsewardSettings::appName) + ".ini";
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    std::atexit([] { std::filesystem::remove_all(configDir); });
    // A failed write shows a message box; here it is recorded instead.
    toolkit::setMessageSink([](std::string_view prompt, int) { lastMessage = prompt; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::filesystem::remove_all(configDir);
    std::filesystem::create_directory(configDir);
    std::ofstream(settingsPath, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    markChanged();
    lastMessage.clear();

    for (Setting key : allKeys) {
        checkReads(key);
    }

    const auto [key, text] = writeFor(data, size);
    // Over a file Qt cannot parse the store may report the write as failed; what must hold
    // either way is that the text is stored.
    PulsewardSettings::write(key, text);
    markChanged();
    require(PulsewardSettings::read(key) == text, "a written key reads back as written", key);
    return 0;
}
