// A desktop portal of our own for the tests, on whatever session bus DBUS_SESSION_BUS_ADDRESS
// names: it owns org.freedesktop.portal.Desktop, answers the remote desktop calls as a desktop
// whose user grants the request would, and prints each call it gets, one line each, so that a
// test reads what the program asked for and which key presses it sent. Told to, it misbehaves:
//   --version N       the interface version it reports (default 2)
//   --refuse          the user declines the dialog (Start answers 1)
//   --close-after N   the desktop closes the session after N key presses and releases
//   --no-keyboard     no keyboard among the device types it offers
//   --answer-after MS the user answers the dialog only after MS ms (-1: never); meanwhile it
//                     says "asking", and a request closed by the program is never answered
//   --relay-mutter    hands each key on to mutter's own remote desktop on the same bus
//                     (org.gnome.Mutter.RemoteDesktop), on this one connection for the whole
//                     run, as mutter ties a session to the connection that created it

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>
#include <cstdio>
#include <functional>
#include <string>

namespace {

const QString desktopPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString remoteDesktop = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
const QString mutterSessionInterface = QStringLiteral("org.gnome.Mutter.RemoteDesktop.Session");

struct Behaviour {
    unsigned version = 2;
    bool refuse = false;
    int closeAfter = -1;
    bool keyboard = true;
    bool relay = false;
    int answerAfter = 0;
};

void say(const QString& line) {
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

QString senderPart(const QDBusMessage& message) {
    QString sender = message.service().mid(1);
    return sender.replace(QLatin1Char('.'), QLatin1Char('_'));
}

class FakePortal : public QDBusVirtualObject {
  public:
    explicit FakePortal(Behaviour behaviour) : behaviour_(behaviour) {}

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        bus_ = connection;
        const QString member = message.member();
        const QList<QVariant> arguments = message.arguments();
        if (message.interface() == QLatin1String("org.freedesktop.DBus.Properties")) {
            return properties(message, member);
        }
        if (message.interface() == QLatin1String("org.freedesktop.portal.Request") &&
            member == QLatin1String("Close")) {
            say(QStringLiteral("Close request=%1").arg(message.path()));
            closedRequests_.insert(message.path());
            reply(message, {});
            return true;
        }
        if (message.interface() == QLatin1String("org.freedesktop.portal.Session") &&
            member == QLatin1String("Close")) {
            say(QStringLiteral("Close session=%1").arg(message.path()));
            if (message.path() == session_) {
                session_.clear();
            }
            reply(message, {});
            return true;
        }
        if (message.interface() != remoteDesktop) {
            return false;
        }
        if (member == QLatin1String("CreateSession")) {
            const QVariantMap options = qdbus_cast<QVariantMap>(arguments.value(0));
            session_ = desktopPath + QStringLiteral("/session/") + senderPart(message) +
                       QLatin1Char('/') +
                       options.value(QStringLiteral("session_handle_token")).toString();
            owner_ = message.service();
            say(QStringLiteral("CreateSession"));
            if (behaviour_.relay) {
                relay(QStringLiteral("/org/gnome/Mutter/RemoteDesktop"),
                      QStringLiteral("org.gnome.Mutter.RemoteDesktop"),
                      QStringLiteral("CreateSession"), {});
            }
            answer(message, options, 0, {{QStringLiteral("session_handle"), session_}});
        } else if (member == QLatin1String("SelectDevices")) {
            const QVariantMap options = qdbus_cast<QVariantMap>(arguments.value(1));
            persist_ = options.value(QStringLiteral("persist_mode")).toUInt();
            say(QStringLiteral("SelectDevices types=%1 persist_mode=%2 restore_token=%3")
                    .arg(options.value(QStringLiteral("types")).toUInt())
                    .arg(options.contains(QStringLiteral("persist_mode"))
                             ? QString::number(persist_)
                             : QStringLiteral("none"))
                    .arg(options.value(QStringLiteral("restore_token"), QStringLiteral("none"))
                             .toString()));
            answer(message, options, 0, {});
        } else if (member == QLatin1String("Start")) {
            const QVariantMap options = qdbus_cast<QVariantMap>(arguments.value(2));
            if (behaviour_.refuse) {
                say(QStringLiteral("Start refused parent_window=%1")
                        .arg(arguments.value(1).toString()));
                answer(message, options, 1, {});
                return true;
            }
            if (behaviour_.answerAfter != 0) {
                say(QStringLiteral("asking parent_window=%1").arg(arguments.value(1).toString()));
            }
            QVariantMap results{{QStringLiteral("devices"), 1u}};
            QString token = QStringLiteral("none");
            if (persist_ == 2 && behaviour_.version >= 2) {
                token = QStringLiteral("token-%1").arg(QCoreApplication::applicationPid());
                results.insert(QStringLiteral("restore_token"), token);
            }
            if (behaviour_.relay) {
                relay(mutterSession_, mutterSessionInterface, QStringLiteral("Start"), {});
            }
            answer(message, options, 0, results,
                   [this, token, parent = arguments.value(1).toString()] {
                       say(QStringLiteral("Start granted restore_token=%1 parent_window=%2")
                               .arg(token, parent));
                   });
        } else if (member == QLatin1String("NotifyKeyboardKeysym") ||
                   member == QLatin1String("NotifyKeyboardKeycode")) {
            notify(message, member == QLatin1String("NotifyKeyboardKeysym"));
        } else {
            return false;
        }
        return true;
    }

  private:
    bool properties(const QDBusMessage& message, const QString& member) {
        const QVariantMap all{
            {QStringLiteral("version"), behaviour_.version},
            {QStringLiteral("AvailableDeviceTypes"), behaviour_.keyboard ? 7u : 6u}};
        if (message.arguments().value(0).toString() != remoteDesktop) {
            bus_.send(message.createErrorReply(
                QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface"),
                QStringLiteral("no such interface")));
        } else if (member == QLatin1String("GetAll")) {
            reply(message, {all});
        } else {
            reply(message, {QVariant::fromValue(
                               QDBusVariant(all.value(message.arguments().value(1).toString())))});
        }
        return true;
    }

    // A session is the connection's that created it, as with a real desktop.
    void notify(const QDBusMessage& message, bool keysym) {
        const QList<QVariant> arguments = message.arguments();
        const QString session = qdbus_cast<QDBusObjectPath>(arguments.value(0)).path();
        if (session.isEmpty() || session != session_ || message.service() != owner_) {
            say(QStringLiteral("key refused: no such session"));
            bus_.send(
                message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.AccessDenied"),
                                         QStringLiteral("no such session")));
            return;
        }
        const unsigned state = arguments.value(3).toUInt();
        say(QStringLiteral("%1 %2 %3")
                .arg(keysym ? QStringLiteral("keysym") : QStringLiteral("keycode"))
                .arg(arguments.value(2).toInt())
                .arg(state ? QStringLiteral("pressed") : QStringLiteral("released")));
        if (behaviour_.relay && keysym) {
            relay(mutterSession_, mutterSessionInterface, QStringLiteral("NotifyKeyboardKeysym"),
                  {uint(arguments.value(2).toInt()), state != 0});
        }
        reply(message, {});
        if (!state && ++keys_ == behaviour_.closeAfter) {
            say(QStringLiteral("Closed"));
            bus_.send(QDBusMessage::createSignal(session_,
                                                 QStringLiteral("org.freedesktop.portal.Session"),
                                                 QStringLiteral("Closed"))
                      << QVariantMap());
            session_.clear();
        }
    }

    // Says what mutter answered; the session's path comes back from CreateSession.
    void relay(const QString& path, const QString& interface, const QString& method,
               const QList<QVariant>& arguments) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.gnome.Mutter.RemoteDesktop"), path, interface, method);
        call.setArguments(arguments);
        const QDBusMessage answer = bus_.call(call, QDBus::Block, 5000);
        if (answer.type() == QDBusMessage::ErrorMessage) {
            say(QStringLiteral("mutter refused %1: %2").arg(method, answer.errorMessage()));
            return;
        }
        if (method == QLatin1String("CreateSession")) {
            mutterSession_ = qdbus_cast<QDBusObjectPath>(answer.arguments().value(0)).path();
        }
        say(QStringLiteral("mutter %1").arg(method));
    }

    void reply(const QDBusMessage& message, const QList<QVariant>& values) {
        bus_.send(message.createReply(values));
    }

    // The request's handle first, then its answer on the request object: at once, or for Start
    // when the user answers, unless the program has closed the request by then.
    void answer(const QDBusMessage& message, const QVariantMap& options, unsigned response,
                const QVariantMap& results, std::function<void()> answered = {}) {
        const QString request = desktopPath + QStringLiteral("/request/") + senderPart(message) +
                                QLatin1Char('/') +
                                options.value(QStringLiteral("handle_token")).toString();
        reply(message, {QVariant::fromValue(QDBusObjectPath(request))});
        const auto send = [this, request, response, results, answered] {
            if (closedRequests_.contains(request)) {
                return;
            }
            if (answered) {
                answered();
            }
            QDBusMessage signal = QDBusMessage::createSignal(
                request, QStringLiteral("org.freedesktop.portal.Request"),
                QStringLiteral("Response"));
            signal << response << results;
            bus_.send(signal);
        };
        if (!answered || behaviour_.answerAfter == 0) {
            send();
        } else if (behaviour_.answerAfter > 0) {
            QTimer::singleShot(behaviour_.answerAfter, send);
        }
    }

    Behaviour behaviour_;
    QDBusConnection bus_{QString()};
    QString session_;
    QString owner_;
    unsigned persist_ = 0;
    int keys_ = 0;
    QString mutterSession_;
    QSet<QString> closedRequests_;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Behaviour behaviour;
    const QStringList arguments = QCoreApplication::arguments();
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--refuse")) {
            behaviour.refuse = true;
        } else if (argument == QLatin1String("--relay-mutter")) {
            behaviour.relay = true;
        } else if (argument == QLatin1String("--no-keyboard")) {
            behaviour.keyboard = false;
        } else if (argument == QLatin1String("--version") && i + 1 < arguments.size()) {
            behaviour.version = arguments[++i].toUInt();
        } else if (argument == QLatin1String("--answer-after") && i + 1 < arguments.size()) {
            behaviour.answerAfter = arguments[++i].toInt();
        } else if (argument == QLatin1String("--close-after") && i + 1 < arguments.size()) {
            behaviour.closeAfter = arguments[++i].toInt();
        } else {
            std::fprintf(stderr, "unknown argument %s\n", argument.toUtf8().constData());
            return 2;
        }
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    FakePortal portal(behaviour);
    if (!bus.registerVirtualObject(desktopPath, &portal, QDBusConnection::SubPath) ||
        !bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"))) {
        std::fprintf(stderr, "cannot serve the portal: %s\n",
                     bus.lastError().message().toUtf8().constData());
        return 1;
    }
    say(QStringLiteral("ready"));
    return QCoreApplication::exec();
}
