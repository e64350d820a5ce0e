#pragma once

#include <QPaintEvent>
#include <QWidget>

namespace toolkit::qt {

// A Line control: one black pixel wide, dx across and dy down the widget; the mouse goes through.
class LineWidget : public QWidget {
  public:
    LineWidget(QWidget* parent, int dx, int dy);

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    int dx_;
    int dy_;
};

}  // namespace toolkit::qt
