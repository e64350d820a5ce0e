// The window system on Qt: event loop, precise timers, screens, message boxes.
//
// Implemented: the event loop and nested modal loops, timers armed for an absolute deadline
// (QtTimerPeer: never early; on Linux late only by the wake-up, elsewhere by a millisecond or
// two), logical dpi for twips, the user's decimal separator, message boxes. Qt's X11 platform
// is used wherever an X display answers, XWayland included, since stacking and places go through
// X11, and its Wayland platform where only a compositor answers (Platform.h); the key pulse's own
// Wayland connection is watched like our X connection. On
// X11, Num Lock's key events are kept from the widgets (KeyEventFilter), modifier changes do not
// wake them, and our own X connection is flushed before the event loop waits. With GLib's event
// loop, ticks that come alone are handled without a round of Qt's loop (TickWait).

#include <fcntl.h>
#include <unistd.h>
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QEventLoop>
#include <QFont>
#include <QLocale>
#include <QMessageBox>
#include <QScreen>
#include <QSocketNotifier>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "../Application.h"
#include "../Form.h"
#include "../Peers.h"
#include "../RuntimeError.h"
#include "../ShellObject.h"
#include "../wayland/Connection.h"
#include "../x11/Connection.h"
#include "../x11/KeyEvents.h"
#include "KeyEventFilter.h"
#include "Platform.h"
#include "QtTimerPeer.h"
#include "TickWait.h"
#include "Widgets.h"

namespace toolkit {

namespace {

// A refusal read here comes in after the pulse's SendKeys has returned.
void readOwnConnection(void (*read)()) {
    try {
        read();
    } catch (const RuntimeError& refusal) {
        KeysRefusedLater(refusal);
    }
}

// Qt's X11 and Wayland platforms say this just before they end the process with exit(), and
// a platform that cannot start says so just before Qt aborts with a core dump.
QtMessageHandler previousMessageHandler = nullptr;
void takeConnectionLoss(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtWarningMsg && text.startsWith(QLatin1String("The X11 connection broke"))) {
        Application::windowSystemLost("the connection to the X display was lost");
    }
    if (type == QtWarningMsg && text.startsWith(QLatin1String("The Wayland connection"))) {
        Application::windowSystemLost("the connection to the Wayland compositor was lost");
    }
    if (type == QtFatalMsg && text.contains(QLatin1String("platform plugin"))) {
        Application::windowSystemLost("Qt's platform \"" +
                                      qEnvironmentVariable("QT_QPA_PLATFORM").toStdString() +
                                      "\" could not be started (for Wayland, Debian's package "
                                      "qt6-wayland is needed)");
    }
    if (previousMessageHandler) {
        previousMessageHandler(type, context, text);
    }
}

class QtWindowSystem : public WindowSystem {
  public:
    QtWindowSystem(int& argc, char** argv) {
        previousMessageHandler = qInstallMessageHandler(takeConnectionLoss);
        qt::choosePlatform();
        app_ = std::make_unique<QApplication>(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
        // The forms are laid out for "MS Sans Serif", 8 point by default; a face with the same
        // metrics stands in for it where it is missing.
        QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                                   {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                                    QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
        QFont defaultFont(QStringLiteral("MS Sans Serif"));
        defaultFont.setStyleHint(QFont::SansSerif);
        defaultFont.setPointSizeF(8);
        QApplication::setFont(defaultFont);
        if (QGuiApplication::platformName() == QLatin1String("xcb")) {
            app_->installNativeEventFilter(&keyEventFilter_);
            auto* x11App = app_->nativeInterface<QNativeInterface::QX11Application>();
            keyEventFilter_.keysCarryState =
                x11App && x11::hearGroupChangesOnly(x11App->connection());
            watchOwnConnection();
            // Qt's X11 platform installs its own for its Xlib connection.
            x11::Connection::takeErrorHandlers();
        }
        // Our own X connection's requests go out at the latest before the program waits.
        // Xlib reads while it flushes, so a refusal may come in with it and leave nothing on
        // the socket for its watcher.
        const auto flushOwnConnection = [] {
            readOwnConnection([] {
                x11::Connection::flush();
                x11::Connection::reportReadErrors();
            });
        };
        QObject::connect(QAbstractEventDispatcher::instance(),
                         &QAbstractEventDispatcher::aboutToBlock,
                         [flushOwnConnection, tickWait = qt::TickWait::available()] {
                             flushOwnConnection();
                             if (tickWait) {
                                 qt::TickWait::waitBeforeQt(flushOwnConnection);
                             }
                         });
        watchWaylandConnection();
        watchEndSignals();
    }

    ~QtWindowSystem() override {
        qInstallMessageHandler(previousMessageHandler);
        wayland::Connection::watchSocket(nullptr, nullptr);
        x11::Connection::watchSocket(nullptr, nullptr);
        x11::Connection::setFocusQuery(nullptr);
    }

    std::unique_ptr<WindowPeer> createWindow(const WindowDesign& design) override {
        qt::TickWait::qtChanged();
        return qt::createWindowPeer(design);
    }

    std::unique_ptr<TimerPeer> createTimer(std::function<void()> fired) override {
        return std::make_unique<qt::QtTimerPeer>(std::move(fired));
    }

    double twipsPerPixelX() const override {
        const QScreen* screen = QGuiApplication::primaryScreen();
        const double dpi = screen ? screen->logicalDotsPerInchX() : 96.0;
        return 1440.0 / (dpi > 0 ? dpi : 96.0);
    }

    double twipsPerPixelY() const override {
        const QScreen* screen = QGuiApplication::primaryScreen();
        const double dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
        return 1440.0 / (dpi > 0 ? dpi : 96.0);
    }

    std::vector<PixelRect> screens() const override {
        std::vector<PixelRect> result;
        for (const QScreen* screen : QGuiApplication::screens()) {
            const QRect r = screen->geometry();
            result.push_back({r.x(), r.y(), r.width(), r.height()});
        }
        return result;
    }

    char decimalSeparator() const override {
        const QString point = QLocale::system().decimalPoint();
        return point.size() == 1 && point[0].unicode() < 0x80 ? char(point[0].unicode()) : '.';
    }

    int runEventLoop() override {
        running_ = true;
        const int result = QApplication::exec();
        running_ = false;
        return result;
    }

    // Qt remembers an exit asked for outside exec() and then ends every later event loop at
    // once, modal ones included, so only a running main loop is asked to end.
    void quitEventLoop() override {
        qt::TickWait::qtChanged();
        if (running_) {
            QCoreApplication::exit(0);
        }
    }

    void runModalLoop(const std::function<bool()>& stillOpen) override {
        qt::TickWait::qtChanged();
        QEventLoop loop;
        modalLoops_.push_back({&loop, stillOpen});
        while (stillOpen()) {
            loop.exec();
        }
        modalLoops_.pop_back();
    }

    void modalStateChanged() override {
        qt::TickWait::qtChanged();
        for (auto& [loop, stillOpen] : modalLoops_) {
            if (!stillOpen()) {
                loop->quit();
            }
        }
    }

    void messageBox(std::string_view title, std::string_view text, bool critical) override {
        qt::TickWait::qtChanged();
        QMessageBox box(critical ? QMessageBox::Critical : QMessageBox::Warning,
                        QString::fromUtf8(title.data(), qsizetype(title.size())),
                        QString::fromUtf8(text.data(), qsizetype(text.size())), QMessageBox::Ok);
        box.exec();
    }

  private:
    static std::unique_ptr<QSocketNotifier> readWhenReadable(int socket, void (*read)()) {
        auto notifier = std::make_unique<QSocketNotifier>(socket, QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated,
                         [read] { readOwnConnection(read); });
        return notifier;
    }

    // A key press the server refuses is reported as soon as the server says so, not at the
    // next press; and the pulse hears whether its keys come back to us.
    void watchOwnConnection() {
        x11::Connection::watchSocket(
            [this](int socket) {
                connectionWatch_ = readWhenReadable(socket, x11::Connection::readPending);
            },
            [this] { connectionWatch_.reset(); });
        x11::Connection::setFocusQuery([] { return QGuiApplication::focusWindow() != nullptr; });
    }

    // The key pulse's own Wayland connection: its events are handled as they come, and a
    // compositor that goes away or refuses the keys stops the pulse at once.
    void watchWaylandConnection() {
        wayland::Connection::watchSocket(
            [this](int socket) {
                waylandWatch_ = readWhenReadable(socket, wayland::Connection::readPending);
            },
            [this] {
                // It may break while its own notifier is being handled.
                if (waylandWatch_) {
                    waylandWatch_->setEnabled(false);
                    waylandWatch_.release()->deleteLater();
                }
            });
    }

    // A signal handler may only write to a pipe; the event loop reads it and ends the program
    // the regular way.
    void watchEndSignals() {
        // A display server that has gone away would otherwise end the program with SIGPIPE at
        // its next write, before the connection's own handler can say so.
        std::signal(SIGPIPE, SIG_IGN);
        if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
            return;
        }
        signalNotifier_ = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
        QObject::connect(signalNotifier_.get(), &QSocketNotifier::activated, [this] {
            char drained[16];
            while (::read(signalPipe[0], drained, sizeof drained) > 0) {
            }
            if (endRequested) {
                endRequested();
            }
        });
        struct sigaction action {};
        action.sa_handler = [](int) {
            const char byte = 1;
            [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
        };
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
            sigaction(signal, &action, nullptr);
        }
    }

    static inline int signalPipe[2] = {-1, -1};
    qt::KeyEventFilter keyEventFilter_;
    std::unique_ptr<QApplication> app_;
    std::unique_ptr<QSocketNotifier> signalNotifier_;
    std::unique_ptr<QSocketNotifier> connectionWatch_;
    std::unique_ptr<QSocketNotifier> waylandWatch_;
    bool running_ = false;
    std::vector<std::pair<QEventLoop*, std::function<bool()>>> modalLoops_;
};

}  // namespace

std::unique_ptr<WindowSystem> createWindowSystem(int& argc, char** argv) {
    return std::make_unique<QtWindowSystem>(argc, argv);
}

}  // namespace toolkit
