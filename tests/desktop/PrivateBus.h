#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace desktop_test {

// Which services a private bus may start when a client asks for a name nobody owns.
struct BusServices {
    // Folders of .service files of the test's own.
    std::vector<std::filesystem::path> folders;
    // The machine's installed services as well (the session bus's standard folders): only for
    // tests that mean to start a real desktop service, such as the desktop portal. Otherwise a
    // service installed on the machine (xdg-desktop-portal, say) would be started on the test's
    // bus and take the names that the test's own fakes serve.
    bool installed = false;
};

// Writes the configuration of a private session bus listening at address (a D-Bus address such
// as "unix:path=/tmp/x/bus") to configFile, and returns the dbus-daemon command line that runs
// it in the foreground. The file must be readable by the user the bus runs as.
std::vector<std::string> privateBusCommand(const std::filesystem::path& configFile,
                                           const std::string& address,
                                           const BusServices& services = {});

}  // namespace desktop_test
