#include "ActionSource.h"

namespace toolkit::qt {

void ActionSource::reportClick() {
    if (peer && peer->clicked) {
        peer->clicked();
    }
}

void ActionSource::reportDoubleClick() {
    if (peer && peer->doubleClicked) {
        peer->doubleClicked();
    }
}

bool isLeftDoubleClick(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return false;
    }
    event->accept();
    return true;
}

}  // namespace toolkit::qt
