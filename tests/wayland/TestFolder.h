#pragma once

#include <filesystem>
#include <string>

namespace wayland_test {

// A new folder for one test's files and logs under $TMPDIR (else /tmp), which the session's
// user may pass through. It is removed at the end, unless the test failed: then its path is
// printed and it is kept for a look at the logs.
class TestFolder {
  public:
    // prefix: the start of the folder's name, e.g. "pulseward-onwl".
    explicit TestFolder(const std::string& prefix);
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // A folder in it that the session's user may write to, e.g. for the program's settings.
    std::filesystem::path writableByUser(const std::string& name) const;

  private:
    std::filesystem::path path_;
};

}  // namespace wayland_test
