#include "LabelWidget.h"

namespace toolkit::qt {

void LabelWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    if (isLeftDoubleClick(event)) {
        reportDoubleClick();
    }
}

}  // namespace toolkit::qt
