// A settings file of arbitrary bytes: every key read through the program's typed reads gives,
// without a crash or a sanitizer report, either the stored text's value or the key's default,
// and a value the window or control can take. Then one key is written as the program writes
// it, and reads back from the file as written. No single allocation on the way is larger than
// the file's size allows: nothing written in the file, such as a length, makes the store ask
// for more memory. At the end the largest allocation seen is printed on stdout.

#include <fcntl.h>
#include <sanitizer/allocator_interface.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
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

// The largest single allocation while one input is handled, and the largest of all inputs.
std::atomic<bool> handlingInput{false};
std::atomic<std::size_t> largestInInput{0};
std::size_t largestAllocation = 0;
std::size_t largestAllocationFileSize = 0;

void onMalloc(const volatile void*, std::size_t size) {
    if (!handlingInput.load(std::memory_order_relaxed)) {
        return;
    }
    std::size_t largest = largestInInput.load(std::memory_order_relaxed);
    while (size > largest &&
           !largestInInput.compare_exchange_weak(largest, size, std::memory_order_relaxed)) {
    }
}

void onFree(const volatile void*) {
}

// What a file of the size may take: a few copies of its text, and a list entry for each of its
// bytes, but nothing that grows with what the bytes say.
std::size_t allocationAllowed(std::size_t fileSize) {
    return (std::size_t{1} << 20) + 64 * fileSize;
}

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

extern "C" int LLVMFuzzerInitialize(int*, char*** argv) {
    // The program reads its settings with its application running, which knows the screens
    // that sizes are checked against; here on Qt's offscreen platform.
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
    __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree);
    std::atexit([] {
        std::printf("largest allocation: %zu bytes, for a file of %zu bytes\n", largestAllocation,
                    largestAllocationFileSize);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    largestInInput = 0;
    handlingInput = true;
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
    handlingInput = false;
    const std::size_t largest = largestInInput;
    if (largest > largestAllocation) {
        largestAllocation = largest;
        largestAllocationFileSize = size;
    }
    fuzz::require(largest <= allocationAllowed(size), "no allocation beyond the file's size",
                  std::to_string(largest) + " bytes at once for a file of " + std::to_string(size) +
                      " bytes");
    return 0;
}
