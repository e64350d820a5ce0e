#pragma once

#include <QCloseEvent>
#include <QMouseEvent>
#include <QWidget>

#include "../Peers.h"

namespace toolkit::qt {

// A form's window: a tool window with a close box, reporting the close box and the left
// button's double-clicks to its peer, and showing the tip its peer gives.
class FormWidget : public QWidget {
  public:
    WindowPeer* peer = nullptr;

    FormWidget();

  protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

}  // namespace toolkit::qt
