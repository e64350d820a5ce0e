#pragma once

#include <string>

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
};

}  // namespace toolkit
