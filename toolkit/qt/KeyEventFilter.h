#pragma once

// Num Lock's own key events mean nothing to our windows. Left to Qt, every pulse that lands on
// our focused window would count as the user's input and be stamped on the window
// (_NET_WM_USER_TIME): one more request and one more round of events from the server at each
// pulse. Once the connection hears of keyboard group changes only, the other key events are
// read by the modifier state they carry.

#include <QAbstractNativeEventFilter>
#include <QByteArray>

namespace toolkit::qt {

class KeyEventFilter : public QAbstractNativeEventFilter {
  public:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override;

    bool keysCarryState = false;
};

}  // namespace toolkit::qt
