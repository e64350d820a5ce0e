#include "app/CommandLine.h"

#include <string>

#include "app/PulsewardSettings.h"
#include "toolkit/CommandLine.h"

namespace pulseward::CommandLine {

std::optional<int> read(int argc, char** argv) {
    return toolkit::readCommandLine(
        argc, argv,
        {std::string(PulsewardSettings::appName), PULSEWARD_VERSION,
         "Keeps the computer from going idle: while its pulse runs, one Num Lock press every "
         "750 ms."});
}

}  // namespace pulseward::CommandLine
