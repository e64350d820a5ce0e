#include "tests/wayland/TestFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <stdexcept>

#include "tests/wayland/WaylandSession.h"

namespace wayland_test {

namespace fs = std::filesystem;

TestFolder::TestFolder(const std::string& prefix) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + prefix + "-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        throw std::runtime_error("cannot make a folder " + pattern + ": " + std::strerror(errno));
    }
    path_ = pattern;
    chmod(path_.c_str(), 0755);
}

TestFolder::~TestFolder() {
    if (::testing::Test::HasFailure()) {
        std::cout << "Logs are kept in " << path_ << "\n";
    } else {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
}

fs::path TestFolder::writableByUser(const std::string& name) const {
    const fs::path folder = path_ / name;
    fs::create_directories(folder);
    if (chown(folder.c_str(), WaylandSession::user(), gid_t(-1)) != 0) {
        throw std::runtime_error("cannot hand " + folder.string() + " to the session's user");
    }
    return folder;
}

}  // namespace wayland_test
