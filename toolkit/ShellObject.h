#pragma once

#include <functional>
#include <memory>
#include <string_view>

namespace toolkit {

class RuntimeError;

// The shell automation object, made for one use and released after it.
class ShellObject {
  public:
    // Supports "{NUMLOCK}"; any other text is an invalid argument.
    void SendKeys(std::string_view keys);
};

// Only "WScript.Shell" exists; any other identifier fails with error 429.
std::unique_ptr<ShellObject> CreateObject(std::string_view programId);

// A key press that the system refuses only after SendKeys has returned (an X server says so
// later when the pulse did not wait for it) is handed to this handler as an event of its own;
// without one, to the run-time error report.
using KeysRefusedHandler = std::function<void(const RuntimeError& refusal)>;
void OnKeysRefusedLater(KeysRefusedHandler handler);
// For the backends: hands such a refusal on as above.
void KeysRefusedLater(const RuntimeError& refusal);

// Where the desktop first asks the user whether the program may send key presses (a dialog of
// its own), SendKeys sends nothing until the user allows them. The pulse hears when the desktop
// starts asking and when the user has allowed the presses; a refusal comes as above. Without a
// handler, nothing happens.
using KeysConsentHandler = std::function<void()>;
void OnKeysAwaitingConsent(KeysConsentHandler handler);
void OnKeysAllowed(KeysConsentHandler handler);
// For the backends: hand these on as above.
void KeysAwaitingConsent();
void KeysAllowed();

// The pulse has stopped: the desktop withdraws a question it is still putting to the user.
void StopSendingKeys();

}  // namespace toolkit
