#include "Widgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHideEvent>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <vector>

#include "../Form.h"
#include "../x11/ServerPicture.h"
#include "TickWait.h"

namespace toolkit::qt {

namespace {

QColor toQColor(Colour colour) {
    return QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));
}

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QFont toQFont(const Font& font, const QFont& fallback) {
    if (!font.name) {
        return fallback;
    }
    QFont result(QString::fromUtf8(font.name));
    // Where the named face is missing, fontconfig substitutes a sans-serif one.
    result.setStyleHint(QFont::SansSerif);
    result.setPointSizeF(font.points);
    result.setWeight(static_cast<QFont::Weight>(font.weight));
    return result;
}

void setColours(QWidget* widget, Colour fore, Colour back) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, toQColor(fore));
    palette.setColor(QPalette::Text, toQColor(fore));
    palette.setColor(QPalette::Window, toQColor(back));
    palette.setColor(QPalette::Base, toQColor(back));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

// Forwards the user's actions on any widget to the peer's callbacks; the peer may be gone by
// the time a queued action arrives, so the widget holds only a weak link.
class ActionSource {
  public:
    ControlPeer* peer = nullptr;
    void reportClick() {
        if (peer && peer->clicked) {
            peer->clicked();
        }
    }
    void reportDoubleClick() {
        if (peer && peer->doubleClicked) {
            peer->doubleClicked();
        }
    }
};

// A double-click is the left button's, as on Windows; any other goes on to the form, which
// ignores it too.
bool isLeftDoubleClick(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return false;
    }
    event->accept();
    return true;
}

// Pictures and labels: both are QLabels that report double-clicks.
class LabelWidget : public QLabel, public ActionSource {
  public:
    using QLabel::QLabel;

  protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        if (isLeftDoubleClick(event)) {
            reportDoubleClick();
        }
    }
};

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
    void setShown(bool shown) {
        shown_ = shown;
        if (!serverPicture_) {
            TickWait::qtChanged();
            serverPicture_ = createServerPicture();
        }
        if (!serverPicture_) {
            setVisible(shown);
            return;
        }
        serverPicture_->setShown(shown);
        setFocusPolicy(shown ? Qt::TabFocus : Qt::NoFocus);
        if (!shown && QApplication::focusWidget() == this) {
            TickWait::qtChanged();
            focusNextChild();
        }
    }

  protected:
    // The form's colour reaches its widgets as a palette change, whether the program set it or
    // the desktop's theme changed it: the server's picture takes it up as its hidden colour.
    void changeEvent(QEvent* event) override {
        if (event->type() == QEvent::PaletteChange && serverPicture_) {
            TickWait::qtChanged();
            serverPicture_ = createServerPicture();
        }
        LabelWidget::changeEvent(event);
    }

    // Qt also hides the form's widgets before it destroys the form's native window, so the
    // picture never outlives the window it is in; the next blink makes it in the new one.
    void hideEvent(QHideEvent* event) override {
        if (!event->spontaneous()) {
            serverPicture_.reset();
        }
        LabelWidget::hideEvent(event);
    }

    void mouseDoubleClickEvent(QMouseEvent* event) override {
        if (!shown_) {
            event->ignore();
            return;
        }
        LabelWidget::mouseDoubleClickEvent(event);
    }

  private:
    std::unique_ptr<x11::ServerPicture> createServerPicture() {
        if (QGuiApplication::platformName() != QLatin1String("xcb") || !isVisible() ||
            devicePixelRatioF() != 1.0) {
            return nullptr;
        }
        const QColor formColour = window()->palette().color(QPalette::Window);
        QImage image(size(), QImage::Format_RGB32);
        image.fill(formColour);
        render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        const QPoint at = mapTo(window(), QPoint(0, 0));
        return x11::ServerPicture::create(static_cast<WindowHandle>(window()->winId()),
                                          {at.x(), at.y(), image.width(), image.height()},
                                          reinterpret_cast<const std::uint32_t*>(image.constBits()),
                                          static_cast<int>(image.bytesPerLine() / 4),
                                          formColour.rgb() & 0xFFFFFF, shown_);
    }

    std::unique_ptr<x11::ServerPicture> serverPicture_;
    bool shown_ = true;
};

class CheckWidget : public QCheckBox, public ActionSource {
  public:
    using QCheckBox::QCheckBox;

  protected:
    // The toolkit sets the value a click leads to.
    void nextCheckState() override {}
};

class LineWidget : public QWidget {
  public:
    LineWidget(QWidget* parent, int dx, int dy) : QWidget(parent), dx_(dx), dy_(dy) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(QPen(Qt::black, 1));
        const int x1 = dx_ < 0 ? -dx_ : 0;
        const int y1 = dy_ < 0 ? -dy_ : 0;
        painter.drawLine(x1, y1, x1 + dx_, y1 + dy_);
    }

  private:
    int dx_;
    int dy_;
};

class ControlPeerImpl : public ControlPeer {
  public:
    ControlPeerImpl(QWidget* widget, ActionSource* source)
        : widget_(widget), picture_(dynamic_cast<PictureWidget*>(widget)), source_(source) {
        if (source_) {
            source_->peer = this;
        }
    }
    ~ControlPeerImpl() override {
        TickWait::qtChanged();
        if (widget_) {
            if (source_) {
                source_->peer = nullptr;
            }
            widget_->hide();
            widget_->deleteLater();
        }
    }

    void setVisible(bool visible) override {
        if (picture_) {
            picture_->setShown(visible);
        } else if (widget_) {
            TickWait::qtChanged();
            widget_->setVisible(visible);
        }
    }

    void setCaption(std::string_view caption) override {
        TickWait::qtChanged();
        if (auto* label = qobject_cast<QLabel*>(widget_.data())) {
            label->setText(toQString(caption));
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget_.data())) {
            button->setText(toQString(caption));
        }
    }

    void setValue(int value) override {
        TickWait::qtChanged();
        if (auto* box = qobject_cast<QCheckBox*>(widget_.data())) {
            const QSignalBlocker blocker(box);
            box->setCheckState(value == 1   ? Qt::Checked
                               : value == 2 ? Qt::PartiallyChecked
                                            : Qt::Unchecked);
        }
    }

    QWidget* widget() const { return widget_.data(); }

  private:
    QPointer<QWidget> widget_;
    QPointer<PictureWidget> picture_;
    ActionSource* source_;
};

class FormWidget : public QWidget {
  public:
    WindowPeer* peer = nullptr;

    FormWidget()
        : QWidget(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowCloseButtonHint) {}

  protected:
    void closeEvent(QCloseEvent* event) override {
        // The toolkit decides whether and how the window goes; it may destroy this widget, so
        // it hears of the request only once this event is over.
        event->ignore();
        QTimer::singleShot(0, this, [this] {
            if (peer && peer->closeRequested) {
                peer->closeRequested();
            }
        });
    }

    void mouseDoubleClickEvent(QMouseEvent* event) override {
        if (isLeftDoubleClick(event) && peer && peer->doubleClicked) {
            peer->doubleClicked();
        }
    }
};

class WindowPeerImpl : public WindowPeer {
  public:
    explicit WindowPeerImpl(const WindowDesign& design) : widget_(new FormWidget) {
        TickWait::qtChanged();
        widget_->peer = this;
        widget_->setWindowTitle(toQString(design.caption));
        if (!design.icon.empty()) {
            widget_->setWindowIcon(QIcon(QStringLiteral(":/pulseward/") + toQString(design.icon)));
        }
        widget_->setAttribute(Qt::WA_QuitOnClose, false);
    }

    ~WindowPeerImpl() override {
        TickWait::qtChanged();
        if (widget_) {
            widget_->peer = nullptr;
            widget_->hide();
            widget_->deleteLater();
        }
    }

    std::unique_ptr<ControlPeer> createControl(const ControlDescription& description) override {
        TickWait::qtChanged();
        QWidget* widget = nullptr;
        ActionSource* source = nullptr;
        const QFont defaultFont = widget_->font();
        switch (description.kind) {
            case ControlKind::CommandButton: {
                auto* button = new QPushButton(toQString(description.caption), widget_);
                button->setAutoDefault(false);
                button->setDefault(false);
                auto peerSource = new ActionSource;
                ownedSources_.emplace_back(peerSource);
                QObject::connect(button, &QPushButton::clicked, button,
                                 [peerSource] { peerSource->reportClick(); });
                widget = button;
                source = peerSource;
                break;
            }
            case ControlKind::PictureBox: {
                auto* picture = new PictureWidget(widget_);
                picture->setFrameStyle(QFrame::Panel | QFrame::Sunken);
                picture->setLineWidth(2);
                picture->setPixmap(
                    QPixmap(QStringLiteral(":/pulseward/") + toQString(description.picture)));
                picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
                picture->setFocusPolicy(Qt::TabFocus);
                widget = picture;
                source = picture;
                break;
            }
            case ControlKind::CheckBox: {
                auto* box = new CheckWidget(toQString(description.caption), widget_);
                box->setTristate(true);
                QObject::connect(box, &QCheckBox::clicked, box, [box] { box->reportClick(); });
                widget = box;
                source = box;
                break;
            }
            case ControlKind::Label: {
                auto* label = new LabelWidget(toQString(description.caption), widget_);
                label->setWordWrap(true);
                label->setAlignment(Qt::AlignCenter);
                label->setFocusPolicy(Qt::NoFocus);
                widget = label;
                source = label;
                break;
            }
            case ControlKind::TextBox: {
                if (description.multiLine) {
                    auto* box = new QPlainTextEdit(toQString(description.caption), widget_);
                    box->setReadOnly(description.locked);
                    box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
                    widget = box;
                } else {
                    auto* box = new QLineEdit(toQString(description.caption), widget_);
                    box->setReadOnly(description.locked);
                    box->setCursorPosition(0);
                    widget = box;
                }
                break;
            }
            case ControlKind::Line: {
                const PixelRect& r = description.rect;
                auto* line = new LineWidget(widget_, r.width, r.height);
                line->setGeometry(std::min(r.x, r.x + r.width), std::min(r.y, r.y + r.height),
                                  std::abs(r.width) + 1, std::abs(r.height) + 1);
                line->show();
                return std::make_unique<ControlPeerImpl>(line, nullptr);
            }
        }
        widget->setFont(toQFont(description.font, defaultFont));
        if (description.hasColours) {
            setColours(widget, description.foreColor, description.backColor);
        }
        if (description.kind == ControlKind::CheckBox) {
            widget->setFocusPolicy(Qt::StrongFocus);
        }
        widget->setGeometry(description.rect.x, description.rect.y, description.rect.width,
                            description.rect.height);
        auto peer = std::make_unique<ControlPeerImpl>(widget, source);
        peer->setVisible(description.visible);
        peer->setValue(description.value);
        if (description.tabIndex >= 0) {
            tabOrder_.push_back({description.tabIndex, widget});
        }
        return peer;
    }

    void controlsCreated() override {
        TickWait::qtChanged();
        std::sort(tabOrder_.begin(), tabOrder_.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        QWidget* previous = nullptr;
        for (const auto& [index, widget] : tabOrder_) {
            if (widget->focusPolicy() == Qt::NoFocus) {
                continue;
            }
            if (previous) {
                QWidget::setTabOrder(previous, widget);
            } else {
                widget->setFocus();
            }
            previous = widget;
        }
    }

    // A system colour is left to the application's palette, so that a change of the desktop's
    // theme reaches the window too. A window takes no colour from its owner.
    void setBackColor(Colour colour) override {
        TickWait::qtChanged();
        QPalette palette;
        if (!isSystemColour(colour)) {
            palette.setColor(QPalette::Window, toQColor(colour));
        }
        widget_->setPalette(palette);
        widget_->setAutoFillBackground(true);
    }

    void moveFrame(int x, int y) override {
        TickWait::qtChanged();
        widget_->move(x, y);
    }

    void framePosition(int& x, int& y) const override {
        const QPoint position = widget_->pos();
        x = position.x();
        y = position.y();
    }

    void resizeClient(int width, int height) override {
        TickWait::qtChanged();
        widget_->resize(width, height);
    }

    void clientSize(int& width, int& height) const override {
        width = widget_->width();
        height = widget_->height();
    }

    int windowState() const override {
        if (widget_->isMinimized()) {
            return vbMinimized;
        }
        return widget_->isMaximized() ? vbMaximized : vbNormal;
    }

    void setWindowState(int state) override {
        TickWait::qtChanged();
        widget_->setWindowState(state == vbMinimized   ? Qt::WindowMinimized
                                : state == vbMaximized ? Qt::WindowMaximized
                                                       : Qt::WindowNoState);
    }

    WindowHandle handle() override {
        if (!widget_->internalWinId()) {
            TickWait::qtChanged();  // the native window is made now
        }
        return static_cast<WindowHandle>(widget_->winId());
    }

    void show() override {
        TickWait::qtChanged();
        widget_->show();
        widget_->activateWindow();
    }

    void setModalOwner(WindowPeer& owner) override {
        TickWait::qtChanged();
        auto& ownerImpl = static_cast<WindowPeerImpl&>(owner);
        const QPoint position = widget_->pos();
        const QSize size = widget_->size();
        widget_->setParent(ownerImpl.widget_, widget_->windowFlags());
        widget_->move(position);
        widget_->resize(size);
        widget_->setWindowModality(Qt::ApplicationModal);
    }

  private:
    QPointer<FormWidget> widget_;
    std::vector<std::pair<int, QWidget*>> tabOrder_;
    std::vector<std::unique_ptr<ActionSource>> ownedSources_;
};

}  // namespace

std::unique_ptr<WindowPeer> createWindowPeer(const WindowDesign& design) {
    return std::make_unique<WindowPeerImpl>(design);
}

}  // namespace toolkit::qt
