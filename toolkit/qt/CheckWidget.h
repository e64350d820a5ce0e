#pragma once

#include <QCheckBox>

#include "ActionSource.h"

namespace toolkit::qt {

class CheckWidget : public QCheckBox, public ActionSource {
  public:
    using QCheckBox::QCheckBox;

  protected:
    // The toolkit sets the value a click leads to.
    void nextCheckState() override {}
};

}  // namespace toolkit::qt
