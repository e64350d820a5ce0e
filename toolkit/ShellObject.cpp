#include "ShellObject.h"

#include "Desktop.h"
#include "RuntimeError.h"

namespace toolkit {

namespace {
KeysRefusedHandler& refusedHandler() {
    static KeysRefusedHandler handler;
    return handler;
}
}  // namespace

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

void OnKeysRefusedLater(KeysRefusedHandler handler) {
    refusedHandler() = std::move(handler);
}

void KeysRefusedLater(const RuntimeError& refusal) {
    invokeHandler([&refusal] {
        if (!refusedHandler()) {
            throw refusal;
        }
        // A copy: the handler may replace itself.
        const KeysRefusedHandler handler = refusedHandler();
        handler(refusal);
    });
}

}  // namespace toolkit
