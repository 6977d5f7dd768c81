// The desktop notification of a watch's new hits, sent to a stand-in notification service
// on a private bus of the test's own.
#include "cli/notify.h"

#include <QDBusConnection>
#include <QProcess>
#include <QThread>
#include <QtTest>

namespace {

// Answers Notify as a desktop's notification service does, recording what it was asked.
class StandInNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QStringList summaries, bodies; // read once the call has returned

public Q_SLOTS:
    uint Notify(const QString &, uint, const QString &, const QString &summary, const QString &body,
                const QStringList &, const QVariantMap &, int)
    {
        summaries << summary;
        bodies << body;
        return 1;
    }
};

} // namespace

class NotifyTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theBodyShowsAFewTitlesAsWritten()
    {
        QCOMPARE(NewHitsSummary(QStringLiteral("天気"), 7), QStringLiteral("「天気」の新着 7件"));
        // No control or direction characters: an override would make "gnp.exe" read "exe.png".
        const QStringList titles{"a<b>", "b & c", "x\u202egnp.exe\t", "4", "5", "6", "7"};
        QCOMPARE(NewHitsBody(titles),
                 QStringLiteral("a&lt;b&gt;\nb &amp; c\nxgnp.exe\n4\n5\nほか2件"));
    }

    void withoutASessionBusNothingIsTried()
    {
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        qputenv("XDG_RUNTIME_DIR", QByteArray("/nonexistent"));
        QVERIFY(!AnnounceNewHits(QStringLiteral("w"), {QStringLiteral("t")}));
    }

    void theServiceHearsTheNewHits()
    {
        QProcess daemon;
        daemon.start(QStringLiteral("dbus-daemon"),
                     {QStringLiteral("--session"), QStringLiteral("--nofork"),
                      QStringLiteral("--print-address=1")});
        if (!daemon.waitForStarted(5000))
            QSKIP("no dbus-daemon to stand in for the session bus");
        QVERIFY(QTest::qWaitFor([&] { return daemon.canReadLine(); }, 10000));
        const QString address = QString::fromUtf8(daemon.readLine()).trimmed();

        // The service answers on a thread of its own while the caller blocks for the reply.
        QThread serviceThread;
        StandInNotifications service;
        service.moveToThread(&serviceThread);
        serviceThread.start();
        {
            QDBusConnection server = QDBusConnection::connectToBus(address, "server");
            QVERIFY(server.registerObject(QStringLiteral("/org/freedesktop/Notifications"),
                                          &service, QDBusConnection::ExportAllSlots));
            QDBusConnection client = QDBusConnection::connectToBus(address, "client");
            QVERIFY(!AnnounceNewHits(client, QStringLiteral("w"), {QStringLiteral("t")}));
            QVERIFY(server.registerService(QStringLiteral("org.freedesktop.Notifications")));
            QVERIFY(AnnounceNewHits(client, QStringLiteral("天気"),
                                    {QStringLiteral("晴れ"), QStringLiteral("雨")}));
        }
        QDBusConnection::disconnectFromBus("client");
        QDBusConnection::disconnectFromBus("server");
        serviceThread.quit();
        serviceThread.wait();
        QCOMPARE(service.summaries, QStringList{QStringLiteral("「天気」の新着 2件")});
        QCOMPARE(service.bodies, QStringList{QStringLiteral("晴れ\n雨")});
        daemon.terminate();
        daemon.waitForFinished(5000);
    }
};

QTEST_GUILESS_MAIN(NotifyTest)
#include "notify_test.moc"
