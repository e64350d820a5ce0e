#pragma once

#include <QMouseEvent>

#include "../Peers.h"

namespace toolkit::qt {

// Forwards the user's actions on any widget to the peer's callbacks; the peer may be gone by
// the time a queued action arrives, so the widget holds only a weak link.
class ActionSource {
  public:
    ControlPeer* peer = nullptr;
    void reportClick();
    void reportDoubleClick();
};

// A double-click is the left button's, as on Windows; any other goes on to the form, which
// ignores it too.
bool isLeftDoubleClick(QMouseEvent* event);

}  // namespace toolkit::qt
