#include "FormWidget.h"

#include <QTimer>

#include "ActionSource.h"

namespace toolkit::qt {

FormWidget::FormWidget()
    : QWidget(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint) {
}

void FormWidget::closeEvent(QCloseEvent* event) {
    // The toolkit decides whether and how the window goes; it may destroy this widget, so
    // it hears of the request only once this event is over.
    event->ignore();
    QTimer::singleShot(0, this, [this] {
        if (peer && peer->closeRequested) {
            peer->closeRequested();
        }
    });
}

void FormWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    if (isLeftDoubleClick(event) && peer && peer->doubleClicked) {
        peer->doubleClicked();
    }
}

}  // namespace toolkit::qt
