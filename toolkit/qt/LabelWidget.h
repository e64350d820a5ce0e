#pragma once

#include <QLabel>
#include <QMouseEvent>

#include "ActionSource.h"

namespace toolkit::qt {

// Pictures and labels: both are QLabels that report double-clicks.
class LabelWidget : public QLabel, public ActionSource {
  public:
    using QLabel::QLabel;

  protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

}  // namespace toolkit::qt
