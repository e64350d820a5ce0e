#include "PortalKeyboard.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <cstdlib>
#include <fstream>
#include <system_error>

#include "../RuntimeError.h"
#include "../ShellObject.h"
#include "../Warning.h"

namespace toolkit::wayland {

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString remoteDesktop = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString sessionInterface = QStringLiteral("org.freedesktop.portal.Session");

constexpr unsigned keyboardDevice = 1;
constexpr unsigned persistUntilRevoked = 2;
constexpr int numLockKeysym = 0xff7f;  // XKB_KEY_Num_Lock
// Reading the interface's properties may start the portal service first.
constexpr int propertiesLimitMs = 10000;
// Quicker than anyone answers a dialog: the desktop asked nobody.
constexpr qint64 answeredUnaskedMs = 1000;

std::string text(const QString& value) {
    return value.toStdString();
}

std::string readToken(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string token;
    std::getline(in, token);
    return token;
}

// Written whole or not at all: a new file renamed over the old one.
void writeToken(const std::filesystem::path& file, const std::string& token) {
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    const std::filesystem::path written = file.string() + ".new";
    // The token lets the program in without asking: no one else may read it, not even briefly.
    std::ofstream(written, std::ios::trunc).flush();
    std::filesystem::permissions(
        written, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write, error);
    if (error) {
        std::filesystem::remove(written, error);
        return;
    }
    {
        std::ofstream out(written, std::ios::trunc);
        out << token << '\n';
        if (!out.flush()) {
            return;
        }
    }
    std::filesystem::rename(written, file, error);
}

// Without a session bus libdbus would try to start one through the X display instead.
bool sessionBusNamed() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::error_code error;
    return (address && *address) ||
           (runtime && *runtime &&
            std::filesystem::exists(std::filesystem::path(runtime) / "bus", error));
}

// Tests may shorten the time the user has to answer (PULSEWARD_PORTAL_ANSWER_LIMIT_MS).
int answerLimit() {
    const char* limit = std::getenv("PULSEWARD_PORTAL_ANSWER_LIMIT_MS");
    if (!limit || !*limit) {
        return PortalKeyboard::answerLimitMs;
    }
    char* end = nullptr;
    const long ms = std::strtol(limit, &end, 10);
    return *end == '\0' && ms > 0 && ms <= PortalKeyboard::answerLimitMs
               ? static_cast<int>(ms)
               : PortalKeyboard::answerLimitMs;
}

std::string duration(int ms) {
    return ms % 1000 == 0 ? std::to_string(ms / 1000) + " seconds" : std::to_string(ms) + " ms";
}

}  // namespace

PortalKeyboard::PortalKeyboard(std::filesystem::path tokenFile, ParentWindow parentWindow)
    : bus_(QString()),
      tokenFile_(tokenFile.empty() ? restoreTokenFile() : std::move(tokenFile)),
      parentWindow_(std::move(parentWindow)) {
    answerLimit_.setSingleShot(true);
    answerLimit_.setInterval(answerLimit());
    connect(&answerLimit_, &QTimer::timeout, this, [this] {
        fail("Nobody allowed the program to send key presses within " +
             duration(answerLimit_.interval()) +
             " of the desktop asking, so the program withdrew its request.");
    });
}

PortalKeyboard::~PortalKeyboard() {
    close();
}

std::filesystem::path PortalKeyboard::restoreTokenFile() {
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    std::filesystem::path folder;
    if (state && *state) {
        folder = state;
    } else {
        folder = std::filesystem::path(home && *home ? home : ".") / ".local" / "state";
    }
    return folder / "FERN-BADGER-PULSEWARD" / "remote-desktop-token";
}

void PortalKeyboard::open() {
    close();
    if (!sessionBusNamed()) {
        throw RuntimeError(5,
                           "There is no D-Bus session bus (DBUS_SESSION_BUS_ADDRESS is not set).");
    }
    bus_ = QDBusConnection::sessionBus();
    if (!bus_.isConnected()) {
        throw RuntimeError(
            5, "There is no D-Bus session bus (" + text(bus_.lastError().message()) + ").");
    }
    QDBusMessage get = QDBusMessage::createMethodCall(
        portalService, portalPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("GetAll"));
    get << remoteDesktop;
    const QDBusReply<QVariantMap> properties = bus_.call(get, QDBus::Block, propertiesLimitMs);
    if (!properties.isValid()) {
        throw RuntimeError(5, "The desktop portal does not offer it (" +
                                  text(properties.error().message()) + ").");
    }
    version_ = properties.value().value(QStringLiteral("version")).toUInt();
    const unsigned devices =
        properties.value().value(QStringLiteral("AvailableDeviceTypes")).toUInt();
    if (!(devices & keyboardDevice)) {
        throw RuntimeError(5, "The desktop portal offers no keyboard to remote desktops.");
    }
    portalWatch_ = std::make_unique<QDBusServiceWatcher>(
        portalService, bus_, QDBusServiceWatcher::WatchForUnregistration);
    connect(portalWatch_.get(), &QDBusServiceWatcher::serviceUnregistered, this,
            [this] { fail("The desktop portal has gone away."); });
    state_ = State::CreatingSession;
    answerLimit_.start();
    request(QStringLiteral("CreateSession"), {},
            {{QStringLiteral("session_handle_token"), QStringLiteral("pulseward%1_%2")
                                                          .arg(QCoreApplication::applicationPid())
                                                          .arg(requests_)}});
}

// The answer comes as a Response signal on a request object whose path the handle token
// makes known in advance, so the program listens there before it asks.
void PortalKeyboard::request(const QString& method, QList<QVariant> arguments,
                             QVariantMap options) {
    const QString token = QStringLiteral("pulseward%1").arg(++requests_);
    QString sender = bus_.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    stopListening();
    requestPath_ = portalPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
    bus_.connect(portalService, requestPath_, requestInterface, QStringLiteral("Response"), this,
                 SLOT(answered(uint, QVariantMap)));
    options.insert(QStringLiteral("handle_token"), token);
    QDBusMessage call =
        QDBusMessage::createMethodCall(portalService, portalPath, remoteDesktop, method);
    arguments.append(options);
    call.setArguments(arguments);
    bus_.callWithCallback(call, this, SLOT(keyDelivered()), SLOT(keyRefused(QDBusError)));
}

void PortalKeyboard::stopListening() {
    if (!requestPath_.isEmpty()) {
        bus_.disconnect(portalService, requestPath_, requestInterface, QStringLiteral("Response"),
                        this, SLOT(answered(uint, QVariantMap)));
        requestPath_.clear();
    }
}

void PortalKeyboard::answered(uint response, const QVariantMap& results) {
    stopListening();
    if (!ready() || state_ == State::Granted) {
        return;
    }
    if (response == 1) {
        fail(
            "The user did not allow the program to send key presses (the desktop's dialog "
            "was declined).");
        return;
    }
    if (response != 0) {
        fail("The desktop ended the program's request to send key presses (answer " +
             std::to_string(response) + ").");
        return;
    }
    switch (state_) {
        case State::CreatingSession: {
            sessionPath_ = results.value(QStringLiteral("session_handle")).toString();
            if (sessionPath_.isEmpty()) {
                fail("The desktop portal created no session.");
                return;
            }
            bus_.connect(portalService, sessionPath_, sessionInterface, QStringLiteral("Closed"),
                         this, SLOT(sessionClosed(QVariantMap)));
            QVariantMap options{{QStringLiteral("types"), keyboardDevice}};
            if (version_ >= 2) {
                options.insert(QStringLiteral("persist_mode"), persistUntilRevoked);
                const std::string token = readToken(tokenFile_);
                if (!token.empty()) {
                    options.insert(QStringLiteral("restore_token"), QString::fromStdString(token));
                }
            }
            state_ = State::SelectingDevices;
            request(QStringLiteral("SelectDevices"),
                    {QVariant::fromValue(QDBusObjectPath(sessionPath_))}, options);
            return;
        }
        case State::SelectingDevices:
            state_ = State::Starting;
            startAsked_.start();
            request(QStringLiteral("Start"),
                    {QVariant::fromValue(QDBusObjectPath(sessionPath_)),
                     QString::fromStdString(parentWindow_ ? parentWindow_() : std::string())},
                    {});
            return;
        case State::Starting: {
            answerLimit_.stop();
            const QString token = results.value(QStringLiteral("restore_token")).toString();
            if (!token.isEmpty()) {
                writeToken(tokenFile_, text(token));
            }
            if (!(results.value(QStringLiteral("devices")).toUInt() & keyboardDevice)) {
                fail("The desktop started the session without a keyboard.");
                return;
            }
            // A kept grant comes back with the token; a grant within moments came without a
            // dialog, as nobody reads one, allows and confirms that fast.
            reopensWithoutAsking_ =
                (version_ >= 2 && !token.isEmpty()) || startAsked_.elapsed() < answeredUnaskedMs;
            state_ = State::Granted;
            Warn("key presses go to the compositor through " + std::string(name()));
            KeysAllowed();
            return;
        }
        default:
            return;
    }
}

void PortalKeyboard::sessionClosed(const QVariantMap&) {
    sessionPath_.clear();
    fail(
        "The desktop closed the program's remote desktop session (the permission may have been "
        "withdrawn).");
}

void PortalKeyboard::keyRefused(const QDBusError& error) {
    fail("The desktop portal refused: " + text(error.message()));
}

void PortalKeyboard::keyDelivered() {
}

bool PortalKeyboard::ready() const {
    return state_ != State::Closed && state_ != State::Failed;
}

bool PortalKeyboard::asking() const {
    return ready() && state_ != State::Granted;
}

void PortalKeyboard::pressAndRelease(Key) {
    if (!ready()) {
        throw RuntimeError(5, "The program has no remote desktop session.");
    }
    // Until the user has answered the desktop's dialog there is nothing to send them through.
    if (state_ != State::Granted) {
        return;
    }
    sendKey(true);
    sendKey(false);
}

// The desktop shows that a remote desktop session is open (GNOME's indicator, Plasma's tray
// item), so a stopped pulse lets go of it, unless opening it again would put the question to
// the user again.
void PortalKeyboard::pulseStopped() {
    if (asking() || (state_ == State::Granted && reopensWithoutAsking_)) {
        close();
    }
}

void PortalKeyboard::sendKey(bool pressed) {
    QDBusMessage call = QDBusMessage::createMethodCall(portalService, portalPath, remoteDesktop,
                                                       QStringLiteral("NotifyKeyboardKeysym"));
    call << QVariant::fromValue(QDBusObjectPath(sessionPath_)) << QVariantMap() << numLockKeysym
         << uint(pressed ? 1 : 0);
    bus_.callWithCallback(call, this, SLOT(keyDelivered()), SLOT(keyRefused(QDBusError)));
}

void PortalKeyboard::fail(const std::string& reason) {
    if (!ready()) {
        return;
    }
    close();
    state_ = State::Failed;
    KeysRefusedLater(RuntimeError(5, reason));
}

void PortalKeyboard::close() {
    answerLimit_.stop();
    // A question still put to the user is withdrawn, or the desktop's dialog stays up.
    if (!requestPath_.isEmpty() && bus_.isConnected()) {
        bus_.send(QDBusMessage::createMethodCall(portalService, requestPath_, requestInterface,
                                                 QStringLiteral("Close")));
    }
    stopListening();
    portalWatch_.reset();
    if (!sessionPath_.isEmpty()) {
        bus_.disconnect(portalService, sessionPath_, sessionInterface, QStringLiteral("Closed"),
                        this, SLOT(sessionClosed(QVariantMap)));
        if (bus_.isConnected()) {
            bus_.send(QDBusMessage::createMethodCall(portalService, sessionPath_, sessionInterface,
                                                     QStringLiteral("Close")));
        }
        sessionPath_.clear();
    }
    state_ = State::Closed;
}

}  // namespace toolkit::wayland
