#include "OnSway.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <limits>
#include <stdexcept>
#include <thread>

#include "Process.h"
#include "tests/wayland/KeyClientRun.h"
#include "tests/wayland/WaylandSession.h"

namespace bench {

namespace {

namespace fs = std::filesystem;
using wayland_test::KeyClientEvent;
using wayland_test::KeyClientRun;
using wayland_test::WaylandSession;

constexpr std::uint64_t numLockCode = 69;  // KEY_NUMLOCK

// The Num Lock events of the key client from the line `from` on. Each event's Num Lock state is
// the lock as the modifiers that followed it left it, by the mask of the keymap in force.
std::vector<KeyEvent> numLockEvents(const std::vector<KeyClientEvent>& events, std::size_t from,
                                    bool& lockedBefore) {
    std::vector<KeyEvent> keys;
    std::uint64_t mask = 0;
    bool locked = false;
    for (std::size_t i = 0; i < events.size(); ++i) {
        const KeyClientEvent& event = events[i];
        if (event.kind == "keymap") {
            mask = event.number("numlock");
        } else if (event.kind == "modifiers") {
            locked = (event.number("locked") & mask) != 0;
            if (!keys.empty()) {
                keys.back().numLockOn = locked;
            }
        } else if (i >= from && event.kind == "key" && event.number("code") == numLockCode) {
            if (keys.empty()) {
                lockedBefore = locked;
            }
            KeyEvent key;
            key.press = event.pressed();
            key.serverMs = static_cast<unsigned long>(event.number("time"));
            key.arrivalNs = static_cast<long long>(event.number("arrived"));
            key.numLockOn = locked;
            keys.push_back(key);
        }
    }
    return keys;
}

void handTo(const fs::path& path, uid_t user) {
    if (chown(path.c_str(), user, gid_t(-1)) != 0) {
        throw std::runtime_error("cannot hand " + path.string() + " to the session's user");
    }
}

}  // namespace

SubjectResult measureOnSway(const std::string& program, const std::string& keyClient,
                            double seconds, const std::string& work) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::cerr << "measuring the program on sway for " << seconds << " s ..." << std::endl;
    setenv("PULSEWARD_KEY_CLIENT", keyClient.c_str(), 0);
    // The compositor's user must get through to its folders.
    chmod(work.c_str(), 0755);
    auto session = WaylandSession::startSway(fs::path(work) / "sway");
    const fs::path config = fs::path(work) / "program-sway-config";
    fs::create_directories(config);
    handTo(config, WaylandSession::user());
    const fs::path log = fs::path(work) / "program-sway.log";

    const long long t0 = monotonicNs();
    auto run = session->startClient(
        {program}, log, {{"XDG_CONFIG_HOME", config.string()}, {"QT_QPA_PLATFORM", "xcb"}});
    const wayland_test::OutputLines programLines(log);
    const auto routeSaid = programLines.waitFor(
        [](const std::string& line) { return line.find("go to the compositor") != line.npos; },
        std::chrono::seconds(15));
    if (!routeSaid || !run->running()) {
        throw std::runtime_error("the program does not pulse on sway:\n" + programLines.text());
    }
    // Opened after the program's window, so sway gives it the focus.
    KeyClientRun client(*session, fs::path(work) / "key-client.log");
    const auto enter = client.waitFor("enter", std::chrono::seconds(10));
    if (!enter) {
        throw std::runtime_error("the key client got no keyboard:\n" + client.output().text());
    }
    const ProcessSample first = sampleProcess(run->pid());
    long rssMax = first.rssKiB;
    const long long windowStart = monotonicNs();
    const long long windowEnd = windowStart + static_cast<long long>(seconds * 1e9);
    while (monotonicNs() < windowEnd) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        rssMax = std::max(rssMax, residentKiB(run->pid()));
        if (!run->running()) {
            throw std::runtime_error("the program ended on sway:\n" + programLines.text());
        }
    }
    const ProcessSample last = sampleProcess(run->pid());
    // Its last press keeps its release.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    run->stop();
    const auto events = client.events();

    SubjectResult result;
    result.id = "program-sway";
    result.label = "program on sway";
    result.command = program + " (sway 1.7 headless, XWayland; keys from a Wayland window)";
    result.windowSeconds = double(windowEnd - windowStart) / 1e9;
    bool lockedBefore = false;
    std::vector<KeyEvent> keys;
    for (const KeyEvent& key : numLockEvents(events, *enter, lockedBefore)) {
        if (key.press && key.arrivalNs >= windowEnd) {
            break;
        }
        keys.push_back(key);
    }
    result.pulse = analyse(keys, lockedBefore);
    result.frontKeyEvents = static_cast<long>(keys.size());
    // sway has no idle time to sample from outside; its idle timer is the Wayland tests' check.
    result.longestIdleMs = nan;
    result.pulsingSeconds = double(last.atNs - first.atNs) / 1e9;
    result.cpuPulsingMs = double(last.cpuNs - first.cpuNs) / 1e6;
    result.cpuPulsingPercent = 100.0 * result.cpuPulsingMs / 1e3 / result.pulsingSeconds;
    result.cpuTotalMs = double(last.cpuNs) / 1e6;
    result.cpuTotalPercent = 100.0 * double(last.cpuNs) / double(last.atNs - t0);
    result.launchToMappedMs = result.launchToFirstPressMs = nan;
    result.rssStartKiB = double(first.rssKiB);
    result.rssEndKiB = double(last.rssKiB);
    result.rssMaxKiB = double(std::max(rssMax, last.rssKiB));
    result.threads = static_cast<int>(last.threads.size());
    return result;
}

}  // namespace bench
