#include "ShellObject.h"

#include "Desktop.h"
#include "RuntimeError.h"

namespace toolkit {

void ShellObject::SendKeys(std::string_view keys) {
    if (keys != "{NUMLOCK}") {
        throw RuntimeError::invalidArgument();
    }
    desktop().pressAndRelease(Key::NumLock);
}

std::unique_ptr<ShellObject> CreateObject(std::string_view programId) {
    if (programId != "WScript.Shell") {
        throw RuntimeError(429, "ActiveX component can't create object");
    }
    return std::make_unique<ShellObject>();
}

}  // namespace toolkit
