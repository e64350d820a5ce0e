// The settings store killed while it writes: a process writing the program's ten keys round
// after round (pulseward_settings_writer) gets SIGKILL at random moments, and after each kill
// the file still parses and every key holds its old or its new text, nothing torn.
// PULSEWARD_KILL_SEED repeats a run's random delays.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QSettings>
#include <QString>
#include <QStringList>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/PulsewardSettings.h"
#include "tests/desktop/ChildProcess.h"
#include "tests/support/TestEnvironment.h"

namespace {

namespace fs = std::filesystem;
using pulseward::PulsewardSettings;
using pulseward::Setting;

constexpr int kills = 100;

// In the order the writer writes them.
std::vector<std::string> keyNames() {
    std::vector<std::string> names;
    for (int key = 0; key <= static_cast<int>(Setting::AUTOSTART_TICKBOX); ++key) {
        names.emplace_back(PulsewardSettings::keyName(static_cast<Setting>(key)));
    }
    return names;
}

// Every key at the round, put in place at once: where the next writer starts.
void setAllKeys(const std::vector<std::string>& keys, long round) {
    const std::string next = testing_support::settingsFile() + ".next";
    {
        std::ofstream out(next, std::ios::trunc);
        out << "[" << PulsewardSettings::section << "]\n";
        for (const auto& key : keys) {
            out << key << "=" << round << "\n";
        }
    }
    fs::rename(next, testing_support::settingsFile());
}

// Each key's round, in writing order, as a fresh reader of the file finds it; or why the file
// is not what an interrupted writer may leave.
struct FileRounds {
    std::vector<long> rounds;
    std::string fault;
};

FileRounds readRounds(const std::vector<std::string>& keys) {
    // A copy under a name of its own, so Qt cannot answer from what it read before.
    static int copies = 0;
    const std::string copy =
        testing_support::configDir() + "/KillCheck" + std::to_string(++copies) + ".ini";
    fs::copy_file(testing_support::settingsFile(), copy);
    FileRounds result;
    {
        QSettings settings(QString::fromStdString(copy), QSettings::IniFormat);
        settings.beginGroup(QString::fromUtf8(PulsewardSettings::section.data(),
                                              qsizetype(PulsewardSettings::section.size())));
        QStringList expected;
        for (const auto& key : keys) {
            expected.append(QString::fromStdString(key));
        }
        QStringList found = settings.childKeys();
        found.sort();
        expected.sort();
        if (settings.status() != QSettings::NoError) {
            result.fault = "the file does not parse";
        } else if (found != expected) {
            result.fault = "the keys are " + found.join(' ').toStdString();
        }
        for (const auto& key : keys) {
            const std::string text =
                settings.value(QString::fromStdString(key)).toString().toStdString();
            const bool isRound = !text.empty() && text.size() < 10 &&
                                 text.find_first_not_of("0123456789") == std::string::npos;
            if (!isRound) {
                result.fault += "; " + key + " holds \"" + text + "\"";
            }
            const long round = isRound ? std::stol(text) : -1;
            result.rounds.push_back(round);
        }
    }
    if (!result.fault.empty()) {
        std::ifstream in(copy);
        result.fault += "; the file:\n" + std::string(std::istreambuf_iterator<char>(in), {});
    }
    fs::remove(copy);
    return result;
}

bool waitForByte(int fd, std::chrono::milliseconds limit) {
    pollfd poller{fd, POLLIN, 0};
    char byte = 0;
    return poll(&poller, 1, int(limit.count())) == 1 && read(fd, &byte, 1) == 1;
}

// What is in the settings folder besides the file itself and its lock.
std::set<std::string> strayFiles() {
    const std::string file = fs::path(testing_support::settingsFile()).filename().string();
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(testing_support::configDir())) {
        const std::string name = entry.path().filename().string();
        if (name != file && name != file + ".lock") {
            names.insert(name);
        }
    }
    return names;
}

// Removes the store's lock file when a kill left it empty (taken, but not yet stamped with its
// owner), as Qt would hold every later write until it is 30 s old; says whether it did.
bool removeEmptyLock() {
    const fs::path lock = testing_support::settingsFile() + ".lock";
    std::error_code error;
    return fs::file_size(lock, error) == 0 && !error && fs::remove(lock);
}

unsigned chooseSeed() {
    if (const char* seed = std::getenv("PULSEWARD_KILL_SEED")) {
        return unsigned(std::strtoul(seed, nullptr, 10));
    }
    return std::random_device{}();
}

TEST(SettingsStoreKill, EveryKeyHoldsItsOldOrNewTextAfterEachKill) {
    const char* writerProgram = std::getenv("PULSEWARD_SETTINGS_WRITER");
    ASSERT_TRUE(writerProgram && *writerProgram)
        << "PULSEWARD_SETTINGS_WRITER must name pulseward_settings_writer";
    testing_support::resetAll();
    const unsigned seed = chooseSeed();
    std::printf("seed %u (PULSEWARD_KILL_SEED=%u repeats it)\n", seed, seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    // From within the first write to a round or so later on a disk that syncs each write.
    std::uniform_int_distribution<int> delayUs(0, 120'000);

    const std::vector<std::string> keys = keyNames();
    long start = 0;
    setAllKeys(keys, start);
    int killsMidRound = 0;
    int killsAtOneRound = 0;
    int emptyLocks = 0;
    for (int kill = 0; kill < kills; ++kill) {
        SCOPED_TRACE("kill " + std::to_string(kill) + " of a writer that began with round " +
                     std::to_string(start + 1));
        int ready[2];
        ASSERT_EQ(pipe2(ready, O_CLOEXEC), 0);
        desktop_test::ChildProcess writer({{writerProgram, testing_support::configDir(),
                                            std::to_string(start + 1), std::to_string(ready[1])},
                                           desktop_test::environmentWith({}),
                                           {},
                                           ready[1]});
        close(ready[1]);
        const bool started = waitForByte(ready[0], std::chrono::seconds(30));
        close(ready[0]);
        ASSERT_TRUE(started) << "the writer did not start";
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        ::kill(writer.pid(), SIGKILL);
        const auto status = writer.waitForExit(std::chrono::seconds(10));
        ASSERT_TRUE(status) << "the writer did not end on SIGKILL";
        ASSERT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGKILL)
            << "the writer " << desktop_test::describeStatus(*status);

        const FileRounds file = readRounds(keys);
        ASSERT_EQ(file.fault, "");
        // Written in order, so a key holds the round of the key before it or the one before.
        const auto& rounds = file.rounds;
        ASSERT_GE(rounds.back(), start) << "a key lost the text it held";
        for (std::size_t i = 1; i < rounds.size(); ++i) {
            ASSERT_TRUE(rounds[i] == rounds[i - 1] || rounds[i] == rounds[i - 1] - 1)
                << keys[i - 1] << " holds round " << rounds[i - 1] << ", " << keys[i] << " round "
                << rounds[i];
        }
        ASSERT_LE(rounds.front() - rounds.back(), 1);
        killsMidRound += rounds.front() != rounds.back();
        killsAtOneRound += rounds.front() == rounds.back();

        start = rounds.front();
        setAllKeys(keys, start);
        emptyLocks += removeEmptyLock();
    }

    const auto strays = strayFiles();
    std::printf(
        "%d kills: %d with keys of two rounds in the file, %d with every key at one round; "
        "%ld rounds in all; %d empty lock files removed; %zu stray files in the settings folder\n",
        kills, killsMidRound, killsAtOneRound, start, emptyLocks, strays.size());
    for (const auto& name : strays) {
        std::printf("  stray: %s\n", name.c_str());
    }
    // A kill between creating the store's temporary file and renaming it may leave that file
    // behind; one per kill would grow without bound.
    EXPECT_LE(strays.size(), std::size_t(kills / 10));
}

}  // namespace
