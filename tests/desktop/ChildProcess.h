#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace desktop_test {

// The test program's environment with the given variables set, and every variable whose name
// starts with one of the prefixes removed (unless it is set here).
std::vector<std::string> environmentWith(const std::map<std::string, std::string>& set,
                                         const std::vector<std::string>& removePrefixes = {});

struct SpawnOptions {
    std::vector<std::string> argv;  // argv[0] is looked up in PATH
    std::vector<std::string> environment;
    std::filesystem::path log;  // stdout and stderr are appended here; empty: discarded
    int inheritedFd = -1;       // a descriptor the child keeps, e.g. for Xvfb's -displayfd
};

// A process in a process group of its own. Whatever is left of the group is killed when the
// object goes, and the kernel kills the process should this test program die first.
class ChildProcess {
  public:
    explicit ChildProcess(const SpawnOptions& options);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    bool running();
    // The wait status once the process has ended and been waited for.
    std::optional<int> status() const { return status_; }
    // The wait status (as from waitpid) once the process has ended, or nothing on time-out.
    std::optional<int> waitForExit(std::chrono::milliseconds limit);
    // SIGTERM to the group, then SIGKILL if it has not ended in time; returns the wait status.
    int stop(std::chrono::milliseconds grace = std::chrono::milliseconds(3000));

  private:
    bool ended();
    void reap();

    pid_t pid_ = -1;
    std::optional<int> status_;
};

struct CommandResult {
    int status = -1;  // as from waitpid; -1 when it could not run or did not end in time
    std::string output;
};

// Runs a command to its end (killed when over the limit), collecting its stdout.
CommandResult runCommand(const std::vector<std::string>& argv,
                         const std::vector<std::string>& environment,
                         std::chrono::milliseconds limit = std::chrono::milliseconds(10000));

// Kills every live child's process group when the test program ends in any way it can still
// act on: normal exit, or a fatal or terminating signal.
void installChildCleanup();

// "exited with status 0", "killed by signal 9", ... for messages.
std::string describeStatus(int status);

}  // namespace desktop_test
