#pragma once

#include <memory>
#include <string_view>

namespace toolkit {

// The shell automation object, made for one use and released after it.
class ShellObject {
  public:
    // Supports "{NUMLOCK}"; any other text is an invalid argument.
    void SendKeys(std::string_view keys);
};

// Only "WScript.Shell" exists; any other identifier fails with error 429.
std::unique_ptr<ShellObject> CreateObject(std::string_view programId);

}  // namespace toolkit
