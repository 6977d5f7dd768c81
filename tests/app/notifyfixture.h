// A session bus of the test's own (a private dbus-daemon) with a stand-in desktop notification
// service on it, which answers on a thread of its own while the program under test blocks for
// its replies, and records what it was asked.
#pragma once

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QMutex>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <functional>
#include <vector>

namespace notifyfixture {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

class StandInNotifications : public QDBusVirtualObject {
public:
    struct Notice {
        uint id;
        QString summary, body;
        QStringList actions;
    };
    QStringList capabilities{QStringLiteral("actions"), QStringLiteral("body")};
    // Called on the service's thread right after a notification is answered.
    std::function<void(uint id)> afterNotify;

    std::vector<Notice> notices() const
    {
        QMutexLocker lock(&mutex_);
        return notices_;
    }
    std::vector<uint> closed() const
    {
        QMutexLocker lock(&mutex_);
        return closed_;
    }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        const QList<QVariant> in = message.arguments();
        if (message.member() == QLatin1String("GetCapabilities")) {
            connection.send(message.createReply(capabilities));
        } else if (message.member() == QLatin1String("Notify") && in.size() == 8) {
            uint id = 0;
            {
                QMutexLocker lock(&mutex_);
                id = uint(notices_.size() + 1);
                notices_.push_back({id, in[3].toString(), in[4].toString(), in[5].toStringList()});
            }
            connection.send(message.createReply(id));
            if (afterNotify)
                afterNotify(id);
        } else if (message.member() == QLatin1String("CloseNotification")) {
            QMutexLocker lock(&mutex_);
            closed_.push_back(in.value(0).toUInt());
            connection.send(message.createReply());
        } else {
            return false;
        }
        return true;
    }
    QString introspect(const QString &) const override { return {}; }

private:
    mutable QMutex mutex_;
    std::vector<Notice> notices_;
    std::vector<uint> closed_;
};

// Stands in for an open window: records the runs it is asked to open (core/sessionbus.h).
class StandInWindow : public QDBusVirtualObject {
public:
    QStringList asked() const
    {
        QMutexLocker lock(&mutex_);
        return asked_;
    }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.member() != QLatin1String("OpenRun"))
            return false;
        {
            QMutexLocker lock(&mutex_);
            for (const QVariant &v : message.arguments())
                asked_ << v.toString();
        }
        connection.send(message.createReply(true));
        return true;
    }
    QString introspect(const QString &) const override { return {}; }

private:
    mutable QMutex mutex_;
    QStringList asked_;
};

// Sends one of the service's signals (ActionInvoked, NotificationClosed) over connection.
inline bool tell(const QDBusConnection &connection, const QString &signal,
                 const QList<QVariant> &arguments)
{
    QDBusMessage message = QDBusMessage::createSignal(kPath, kService, signal);
    message.setArguments(arguments);
    return connection.send(message);
}

// The daemon and the service, ended with the object.
struct NotificationBus {
    QProcess daemon;
    QString address;
    QThread serviceThread;
    StandInNotifications service;

    // False when there is no dbus-daemon to start (the test then skips).
    bool start()
    {
        daemon.start(QStringLiteral("dbus-daemon"),
                     {QStringLiteral("--session"), QStringLiteral("--nofork"),
                      QStringLiteral("--print-address=1")});
        if (!daemon.waitForStarted(5000) ||
            !QTest::qWaitFor([this] { return daemon.canReadLine(); }, 10000))
            return false;
        address = QString::fromUtf8(daemon.readLine()).trimmed();
        service.moveToThread(&serviceThread);
        serviceThread.start();
        QDBusConnection server = connection();
        return server.registerVirtualObject(kPath, &service) && server.registerService(kService);
    }
    QDBusConnection connection(const QString &name = QStringLiteral("server")) const
    {
        return QDBusConnection::connectToBus(address, name);
    }
    ~NotificationBus()
    {
        for (const char *name : {"server", "client", "other", "window"})
            QDBusConnection::disconnectFromBus(QString::fromLatin1(name));
        serviceThread.quit();
        serviceThread.wait();
        daemon.terminate();
        daemon.waitForFinished(5000);
    }
};

} // namespace notifyfixture
