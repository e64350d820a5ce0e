// What one wake-up costs on this machine, against the memory the sleeper has mapped in and the
// pages it reads after each wake-up.
//
// Each subject is a child that maps in some MiB, reads or writes every page of it once, and then
// sleeps to absolute deadlines 750 ms apart, as the pulse does, reading one byte of a few of its
// pages (spread over the whole) after each wake-up, or none: anonymous memory in pages of 4 KiB,
// anonymous memory in huge pages (where the kernel gives them), or a file's pages. All subjects
// run at once, started a little apart, so that they share the machine's moments; their
// processor time comes from schedstat. See docs/benchmarks.md.

#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "Process.h"

namespace {

constexpr long long periodNs = 750'000'000;
constexpr std::size_t hugePage = 2u << 20;

enum class Memory { anonymous, huge, file };

struct Subject {
    const char* label;
    Memory memory;
    std::size_t mebibytes;
    std::size_t pagesRead;  // at each wake-up
};

const char* mapIn(const Subject& subject, int file) {
    const std::size_t bytes = subject.mebibytes << 20;
    if (bytes == 0) {
        return nullptr;
    }
    if (subject.memory == Memory::file) {
        void* pages = mmap(nullptr, bytes, PROT_READ, MAP_PRIVATE, file, 0);
        if (pages == MAP_FAILED) {
            _exit(1);
        }
        volatile char sum = 0;
        for (std::size_t at = 0; at < bytes; at += 4096) {
            sum = char(sum + static_cast<const char*>(pages)[at]);
        }
        return static_cast<const char*>(pages);
    }
    const std::size_t room = subject.memory == Memory::huge ? bytes + hugePage : bytes;
    void* pages = mmap(nullptr, room, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pages == MAP_FAILED) {
        _exit(1);
    }
    auto start = reinterpret_cast<std::uintptr_t>(pages);
    if (subject.memory == Memory::huge) {
        start = (start + hugePage - 1) & ~(hugePage - 1);
        madvise(reinterpret_cast<void*>(start), bytes, MADV_HUGEPAGE);
    }
    std::memset(reinterpret_cast<void*>(start), 1, bytes);
    return reinterpret_cast<const char*>(start);
}

[[noreturn]] void sleeper(const Subject& subject, int file) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    const volatile char* memory = mapIn(subject, file);
    const std::size_t pages = (subject.mebibytes << 20) / 4096;
    const std::size_t stride = subject.pagesRead ? pages / subject.pagesRead * 4096 : 0;
    timespec due{};
    clock_gettime(CLOCK_MONOTONIC, &due);
    volatile char sum = 0;
    for (unsigned wake = 0;; ++wake) {
        bench::sleepToNextDeadline(due, periodNs);
        // A different line of each page each time, so that no read finds its line in a cache
        // only because the last wake-up left it there.
        const std::size_t line = (wake % 64) * 64;
        for (std::size_t page = 0; page < subject.pagesRead; ++page) {
            sum = char(sum + memory[page * stride + line]);
        }
    }
}

long anonHugeKiB(pid_t pid) {
    const std::string rollup = bench::readFile("/proc/" + std::to_string(pid) + "/smaps_rollup");
    const auto at = rollup.find("AnonHugePages:");
    return at == std::string::npos ? -1 : std::atol(rollup.c_str() + at + 14);
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 60;
    const std::vector<Subject> subjects = {
        {"nothing", Memory::anonymous, 0, 0},
        {"anonymous", Memory::anonymous, 8, 0},
        {"anonymous", Memory::anonymous, 32, 0},
        {"anonymous, huge pages", Memory::huge, 32, 0},
        {"a file's pages", Memory::file, 32, 0},
        {"anonymous", Memory::anonymous, 32, 64},
        {"anonymous, huge pages", Memory::huge, 32, 64},
        {"a file's pages", Memory::file, 32, 64},
    };
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            seconds = std::atof(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: %s [--seconds N]\n", argv[0]);
            return 2;
        }
    }
    // The file's pages: 32 MiB written for real (a hole would map the shared zero page), in a
    // file gone from its folder as soon as it is made; the sleepers inherit the descriptor.
    const char* tmp = std::getenv("TMPDIR");
    std::string name = std::string(tmp && *tmp ? tmp : "/tmp") + "/pulseward-wake-cost-XXXXXX";
    const int file = mkstemp(name.data());
    if (file < 0) {
        std::perror("a file to map");
        return 1;
    }
    unlink(name.c_str());
    {
        // Gone before the sleepers are forked, so that none of them starts with it mapped in.
        const std::vector<char> block(1 << 20, 'p');
        for (int mebibyte = 0; mebibyte < 32; ++mebibyte) {
            if (write(file, block.data(), block.size()) != ssize_t(block.size())) {
                std::perror("a file to map");
                return 1;
            }
        }
    }
    std::vector<pid_t> children;
    for (const Subject& subject : subjects) {
        const pid_t pid = fork();
        if (pid == 0) {
            sleeper(subject, file);
        }
        if (pid < 0) {
            std::perror("fork");
            return 1;
        }
        children.push_back(pid);
        // Out of step with each other, so that no two wake at the same moment.
        std::this_thread::sleep_for(std::chrono::milliseconds(750 / (subjects.size() + 1)));
    }
    close(file);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    std::vector<bench::ProcessSample> before;
    for (pid_t pid : children) {
        before.push_back(bench::sampleProcess(pid));
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    std::printf("Sleepers waking every 750 ms for %.0f s, all at once\n", seconds);
    std::printf("%-22s %6s %11s %10s %10s %18s %16s\n", "mapped in", "MiB", "pages read",
                "wake-ups", "CPU (ms)", "per wake-up (us)", "huge pages (MiB)");
    int status = 0;
    for (std::size_t i = 0; i < children.size(); ++i) {
        const bench::ProcessSample after = bench::sampleProcess(children[i]);
        const long long wakeups = after.timeslices - before[i].timeslices;
        const double cpuMs = double(after.cpuNs - before[i].cpuNs) / 1e6;
        if (after.threads.empty() || wakeups <= 0) {
            std::fprintf(stderr, "the sleeper with %s ended early\n", subjects[i].label);
            status = 1;
            continue;
        }
        std::printf("%-22s %6zu %11zu %10lld %10.3f %18.1f %16ld\n", subjects[i].label,
                    subjects[i].mebibytes, subjects[i].pagesRead, wakeups, cpuMs,
                    cpuMs * 1000 / double(wakeups), anonHugeKiB(children[i]) / 1024);
    }
    for (pid_t pid : children) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    return status;
}
