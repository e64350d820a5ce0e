#include "tests/desktop/PrivateBus.h"

#include <fstream>
#include <stdexcept>

namespace desktop_test {

namespace {

std::string escaped(const std::string& text) {
    std::string result;
    for (const char c : text) {
        switch (c) {
            case '&':
                result += "&amp;";
                break;
            case '<':
                result += "&lt;";
                break;
            case '>':
                result += "&gt;";
                break;
            default:
                result += c;
        }
    }
    return result;
}

}  // namespace

std::vector<std::string> privateBusCommand(const std::filesystem::path& configFile,
                                           const std::string& address,
                                           const BusServices& services) {
    std::ofstream config(configFile, std::ios::trunc);
    config << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
              " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
              "<busconfig>\n"
              "  <type>session</type>\n"
              "  <keep_umask/>\n"
              "  <listen>"
           << escaped(address)
           << "</listen>\n"
              "  <auth>EXTERNAL</auth>\n"
              "  <policy context=\"default\">\n"
              "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
              "    <allow eavesdrop=\"true\"/>\n"
              "    <allow own=\"*\"/>\n"
              "  </policy>\n";
    for (const auto& folder : services.folders) {
        config << "  <servicedir>" << escaped(folder.string()) << "</servicedir>\n";
    }
    if (services.installed) {
        config << "  <standard_session_servicedirs/>\n";
    }
    config << "</busconfig>\n";
    if (!config.flush()) {
        throw std::runtime_error("cannot write the bus configuration " + configFile.string());
    }
    return {"dbus-daemon", "--config-file=" + configFile.string(), "--nofork", "--nopidfile"};
}

}  // namespace desktop_test
