#include "MachineReading.h"

#include <sys/utsname.h>
#include <time.h>
#include <unistd.h>

#include <sstream>

#include "Process.h"

namespace bench {

std::string loadAverage() {
    std::string text = readFile("/proc/loadavg");
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

Machine describeMachine() {
    Machine m;
    m.cpus = static_cast<int>(sysconf(_SC_NPROCESSORS_ONLN));
    std::istringstream cpuinfo(readFile("/proc/cpuinfo"));
    std::string line;
    while (std::getline(cpuinfo, line)) {
        if (line.rfind("model name", 0) == 0 && line.find(':') != std::string::npos) {
            m.cpuModel = line.substr(line.find(':') + 2);
            break;
        }
    }
    utsname name{};
    if (uname(&name) == 0) {
        m.kernel = name.release;
    }
    m.loadBefore = loadAverage();
    char when[64];
    const time_t now = time(nullptr);
    tm utc{};
    gmtime_r(&now, &utc);
    strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S UTC", &utc);
    m.when = when;
    return m;
}

}  // namespace bench
