#include "OnX.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <vector>

#include "Interrupted.h"
#include "Process.h"
#include "Stopped.h"
#include "SubjectSetup.h"
#include "XObserver.h"

namespace bench {

namespace {

const char* const settingsFile = "FERN-BADGER-PULSEWARD.ini";

// A fresh settings store for one run of the program.
std::string freshConfig(const std::string& workDir, const std::string& name,
                        const std::string& settings) {
    const std::string dir = workDir + "/" + name + "-config";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    if (!settings.empty()) {
        std::ofstream(dir + "/" + settingsFile) << "[Settings]\n" << settings;
    }
    return dir;
}

}  // namespace

// Every subject on an X server of its own with openbox.
void measureOnX(const Options& options, RunResult& run, const std::string& work) {
    Desktop desktop(work);
    std::cerr << "X server " << desktop.display() << " with openbox (work folder " << work << ")"
              << std::endl;
    Observer observer(desktop.display());
    // openbox goes on setting itself up for a moment after it announces itself; the first
    // subject's start-up should not share the processor with that.
    for (const long long until =
             monotonicNs() + static_cast<long long>(options.desktopSettleSeconds * 1e9);
         monotonicNs() < until;) {
        checkInterrupted();
        observer.pump(pollTimeoutMs(until));
    }
    const std::string runtimeDir = work + "/runtime";
    std::filesystem::create_directories(runtimeDir);
    std::filesystem::permissions(runtimeDir, std::filesystem::perms::owner_all);
    const auto baseSpawn = [&](const std::string& name) {
        SpawnOptions s;
        s.setEnv = {{"DISPLAY", desktop.display()}, {"XDG_RUNTIME_DIR", runtimeDir}};
        s.unsetEnv = {"WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
        s.logFile = work + "/" + name + ".log";
        return s;
    };
    const std::string shellLoop = "while :; do xdotool key Num_Lock; sleep 0.75; done";
    const int repeats =
        static_cast<int>(std::ceil(options.seconds / 0.75)) + 2 + options.minPresses;

    std::vector<SubjectSetup> setups;
    if (options.only.count("program")) {
        SubjectSetup s{"program", "program", run.program, baseSpawn("program")};
        s.spawn.argv = {run.program};
        s.spawn.setEnv["XDG_CONFIG_HOME"] = freshConfig(work, "program", "");
        s.isProgram = true;
        setups.push_back(s);
    }
    if (options.only.count("program-behind")) {
        // Where the program mostly is while it pulses: behind the window being worked in,
        // which gets the key presses instead of the program.
        SubjectSetup s{"program-behind", "program, behind", run.program,
                       baseSpawn("program-behind")};
        s.spawn.argv = {run.program};
        s.spawn.setEnv["XDG_CONFIG_HOME"] = freshConfig(work, "program-behind", "");
        s.isProgram = true;
        s.behindAnotherWindow = true;
        setups.push_back(s);
    }
    if (options.only.count("shell-loop")) {
        SubjectSetup s{"shell-loop", "shell loop", shellLoop, baseSpawn("shell-loop")};
        // The trap lets the shell end between two commands, so wait4 counts every child.
        s.spawn.argv = {"bash", "-c", "trap 'exit 0' TERM; " + shellLoop};
        s.selfContained = false;
        s.stopGraceSeconds = 3;
        s.behindAnotherWindow = true;
        setups.push_back(s);
    }
    if (options.only.count("xdotool-repeat")) {
        const std::string n = std::to_string(repeats);
        SubjectSetup s{"xdotool-repeat", "xdotool --repeat",
                       "xdotool key --repeat " + n + " --delay 750 Num_Lock",
                       baseSpawn("xdotool-repeat")};
        s.spawn.argv = {"xdotool", "key", "--repeat", n, "--delay", "750", "Num_Lock"};
        s.behindAnotherWindow = true;
        setups.push_back(s);
    }
    if (options.only.count("reference")) {
        SubjectSetup s{"reference", "reference",
                       "XTest press+release at absolute 750 ms deadlines "
                       "(clock_nanosleep TIMER_ABSTIME)",
                       baseSpawn("reference")};
        s.spawn.argv = {selfPath(), "--reference-injector"};
        s.behindAnotherWindow = true;
        setups.push_back(s);
    }
    if (options.warmUp) {
        // A fresh X server is slow the first time it passes a key event to a client such as
        // ours (the program's first press then reaches it 3-5 ms late; a second program on
        // the same server shows nothing of the kind). A desktop's server has long been warm,
        // so the program runs once, unmeasured, for two presses first.
        Options warm = options;
        warm.seconds = 1.7;
        warm.minPresses = 2;
        SubjectSetup setup{"warm-up", "warm-up run of the program", run.program,
                           baseSpawn("warm-up")};
        setup.spawn.argv = {run.program};
        setup.spawn.setEnv["XDG_CONFIG_HOME"] = freshConfig(work, "warm-up", "");
        setup.isProgram = true;
        measureSubject(observer, warm, setup);
    }
    for (const SubjectSetup& setup : setups) {
        run.subjects.push_back(measureSubject(observer, options, setup));
    }
    if (options.only.count("stopped")) {
        SpawnOptions s = baseSpawn("stopped");
        s.argv = {run.program};
        s.setEnv["XDG_CONFIG_HOME"] = freshConfig(work, "stopped", "AUTOSTART_TICKBOX=0\n");
        run.stopped = measureStopped(observer, options, s);
        run.haveStopped = true;
    }
}

}  // namespace bench
