#include "FormWidget.h"

#include <QHelpEvent>
#include <QTimer>
#include <QToolTip>

#include "ActionSource.h"

namespace toolkit::qt {

FormWidget::FormWidget()
    : QWidget(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint) {
}

// The controls have no tips of their own, so theirs come here too.
bool FormWidget::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip || !peer || !peer->toolTip) {
        return QWidget::event(event);
    }
    const std::string text = peer->toolTip();
    if (text.empty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(),
                           QString::fromStdString(text), this);
    }
    return true;
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
