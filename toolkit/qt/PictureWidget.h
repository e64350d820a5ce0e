#pragma once

#include <QEvent>
#include <QHideEvent>
#include <QMouseEvent>
#include <memory>

#include "../x11/ServerPicture.h"
#include "LabelWidget.h"

namespace toolkit::qt {

// A picture box. On X11, once its window is on screen, the X server also keeps the picture in a
// child window of its own and shows or hides it there: the hearts blink at every pulse, and a
// blink is then two small requests instead of Qt redrawing that part of the window and sending
// it to the server. The widget stays in place underneath, for the mouse and for every other
// kind of drawing; while the picture is hidden it passes the mouse on to the form and takes no
// focus, as a hidden widget would.
class PictureWidget : public LabelWidget {
  public:
    using LabelWidget::LabelWidget;

    // A blink with the server's picture in place changes nothing Qt has to act on: the focus
    // policy is a flag Qt reads when the focus moves. It reads as little of Qt as it can, since
    // each page touched at a pulse costs.
    void setShown(bool shown);

  protected:
    // The form's colour reaches its widgets as a palette change, whether the program set it or
    // the desktop's theme changed it: the server's picture takes it up as its hidden colour.
    void changeEvent(QEvent* event) override;

    // Qt also hides the form's widgets before it destroys the form's native window, so the
    // picture never outlives the window it is in; the next blink makes it in the new one.
    void hideEvent(QHideEvent* event) override;

    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    std::unique_ptr<x11::ServerPicture> createServerPicture();

    std::unique_ptr<x11::ServerPicture> serverPicture_;
    bool shown_ = true;
};

}  // namespace toolkit::qt
