// Which pages of memory a running process touches in a stretch of time: the kernel's referenced
// bits of all its pages are cleared (/proc/PID/clear_refs), and after the stretch smaps tells,
// mapping by mapping, how many were referenced again. With a stretch of 750 ms and a process
// that wakes once a pulse, that is the pages one pulse touches: on a virtual machine each of
// them costs the processor time after a long sleep (see docs/benchmarks.md).
//
// The count of shared library pages is an upper bound: another process that faults the same
// page in marks it referenced for everyone.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Process.h"

namespace {

// Referenced KiB by mapping name (the file's base name, or [heap], [stack], [anonymous]).
std::map<std::string, long> referencedByMapping(const std::string& smaps) {
    std::map<std::string, long> result;
    std::istringstream lines(smaps);
    std::string line;
    std::string name;
    while (std::getline(lines, line)) {
        unsigned long from = 0, to = 0;
        char permissions[8] = {};
        if (std::sscanf(line.c_str(), "%lx-%lx %7s", &from, &to, permissions) == 3) {
            std::istringstream fields(line);
            std::string field;
            for (int i = 0; i < 5; ++i) {
                fields >> field;
            }
            std::string path;
            std::getline(fields >> std::ws, path);
            const auto slash = path.rfind('/');
            name = path.empty() ? "[anonymous]"
                                : path.substr(slash == std::string::npos ? 0 : slash + 1);
        } else if (line.rfind("Referenced:", 0) == 0) {
            const long kib = std::atol(line.c_str() + 11);
            if (kib > 0) {
                result[name] += kib;
            }
        }
    }
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PID [--windows N] [--ms MS]\n", argv[0]);
        return 2;
    }
    const std::string pid = argv[1];
    int windows = 8;
    long ms = 750;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--windows") == 0) {
            windows = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--ms") == 0) {
            ms = std::atol(argv[i + 1]);
        }
    }
    const int clear = open(("/proc/" + pid + "/clear_refs").c_str(), O_WRONLY | O_CLOEXEC);
    if (clear < 0) {
        std::perror("clear_refs");
        return 1;
    }
    std::vector<long> totals;
    std::map<std::string, long> last;
    for (int window = 0; window < windows; ++window) {
        if (write(clear, "1", 1) != 1) {
            std::perror("clear_refs");
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        last = referencedByMapping(bench::readFile("/proc/" + pid + "/smaps"));
        long total = 0;
        for (const auto& [name, kib] : last) {
            total += kib;
        }
        totals.push_back(total / 4);
    }
    close(clear);
    std::printf("pages touched in each %ld ms:", ms);
    for (long total : totals) {
        std::printf(" %ld", total);
    }
    std::vector<long> sorted = totals;
    std::sort(sorted.begin(), sorted.end());
    std::printf("\nmedian: %ld\nlast stretch, by mapping:\n", sorted[sorted.size() / 2]);
    std::vector<std::pair<long, std::string>> byCount;
    for (const auto& [name, kib] : last) {
        byCount.emplace_back(kib / 4, name);
    }
    std::sort(byCount.rbegin(), byCount.rend());
    for (const auto& [pages, name] : byCount) {
        std::printf("%6ld  %s\n", pages, name.c_str());
    }
    return 0;
}
