#pragma once

#include <string>
#include <string_view>

namespace toolkit {

// Sets up the window system; run() delivers events until no window is loaded.
class Application {
  public:
    Application(int& argc, char** argv, std::string title);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    int run();
    static const std::string& title();

    // Whether the system has asked the program to end (a termination signal, the session
    // ending): from then on nobody may be there to answer a message box.
    static bool ending();

    // The window system has gone away under the program (its X server ended, the session's
    // connection closed): nothing can be shown or stored any more, and every window's resources
    // went with it. Says so in one warning line and ends the program at once with status 1,
    // running no destructor.
    [[noreturn]] static void windowSystemLost(std::string_view why);
};

}  // namespace toolkit
