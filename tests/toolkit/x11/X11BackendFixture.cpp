#include "tests/toolkit/x11/X11BackendFixture.h"

#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <system_error>

namespace x11_test {

std::unique_ptr<desktop_test::DesktopSession> session;

namespace {
std::filesystem::path sessionFolder;
}  // namespace

void X11Backend::SetUpTestSuite() {
    if (session) {
        return;
    }
    sessionFolder =
        std::filesystem::temp_directory_path() / ("pulseward-x11-" + std::to_string(getpid()));
    session = desktop_test::DesktopSession::forTests(sessionFolder);
    // The backend connects to the display the program was started on.
    setenv("DISPLAY", session->displayName().c_str(), 1);
}

desktop_test::Rgb rgbOf(std::uint32_t pixel) {
    return {int(pixel >> 16 & 0xFF), int(pixel >> 8 & 0xFF), int(pixel & 0xFF)};
}

std::vector<desktop_test::Rgb> rgbOf(const std::vector<std::uint32_t>& pixels) {
    std::vector<desktop_test::Rgb> result;
    for (const auto pixel : pixels) {
        result.push_back(rgbOf(pixel));
    }
    return result;
}

}  // namespace x11_test

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    toolkit::x11::Connection::close();
    x11_test::session.reset();
    if (result == 0) {
        std::error_code ignored;
        std::filesystem::remove_all(x11_test::sessionFolder, ignored);
    }
    return result;
}
