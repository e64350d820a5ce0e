#include "ShellObject.h"

#include "Desktop.h"
#include "RuntimeError.h"

namespace toolkit {

namespace {
KeysRefusedHandler& refusedHandler() {
    static KeysRefusedHandler handler;
    return handler;
}

KeysConsentHandler& awaitingHandler() {
    static KeysConsentHandler handler;
    return handler;
}

KeysConsentHandler& allowedHandler() {
    static KeysConsentHandler handler;
    return handler;
}

// A copy: the handler may replace itself.
void invokeCopy(const KeysConsentHandler& handler) {
    const KeysConsentHandler copy = handler;
    invokeHandler(copy);
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

void OnKeysAwaitingConsent(KeysConsentHandler handler) {
    awaitingHandler() = std::move(handler);
}

void OnKeysAllowed(KeysConsentHandler handler) {
    allowedHandler() = std::move(handler);
}

void KeysAwaitingConsent() {
    invokeCopy(awaitingHandler());
}

void KeysAllowed() {
    invokeCopy(allowedHandler());
}

void StopSendingKeys() {
    if (Desktop* services = desktopIfMade()) {
        services->keysNoLongerSent();
    }
}

}  // namespace toolkit
