// The desktop notification of a watch's new hits, sent to a stand-in notification service on a
// private bus of the test's own, and what becomes of it: clicked, closed, replaced by a later
// one of the same watch, or left by a service that went away.
#include "cli/notify.h"
#include "notifyfixture.h"

#include <QTimer>
#include <QtTest>

using namespace notifyfixture;

Q_DECLARE_METATYPE(AnnouncementEnd)

class NotifyTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theBodyShowsAFewTitlesAsWritten()
    {
        QCOMPARE(NewHitsSummary(QStringLiteral("天気"), 7), QStringLiteral("「天気」の新着 7件"));
        // No control or direction characters: an override would make "gnp.exe" read "exe.png".
        const QStringList titles{"a<b>", "b & c", "x\u202egnp.exe\t", "4", "5", "6"};
        QCOMPARE(NewHitsBody(titles, 7),
                 QStringLiteral("a&lt;b&gt;\nb &amp; c\nxgnp.exe\n4\n5\nほか2件"));
        // The detached announcement gets what it shows, and nothing it can't read back.
        const Announcement a{QStringLiteral("天気"), 12, titles, 7};
        const auto back = AnnouncementOfArguments(AnnouncementArguments(a));
        QVERIFY(back);
        QCOMPARE(NewHitsBody(back->titles, back->count), NewHitsBody(titles, 7));
        QCOMPARE(back->run, qint64(12));
        QVERIFY(!AnnouncementOfArguments({QString::fromLatin1(kAnnounceOption), "w", "x", "1"}));
        QVERIFY(!AnnouncementOfArguments({QStringLiteral("--watch"), "w", "1", "1"}));
    }

    void withoutASessionBusNothingIsStarted()
    {
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        qputenv("XDG_RUNTIME_DIR", QByteArray("/nonexistent"));
        QVERIFY(!StartAnnouncement(QStringLiteral("/bin/true"), {QStringLiteral("w"), 1, {}, 1}));
    }

    void whatBecomesOfTheNotification_data()
    {
        QTest::addColumn<QString>("reaction");
        QTest::addColumn<AnnouncementEnd>("end");
        QTest::addColumn<bool>("withdrawn");
        QTest::newRow("clicked") << "click" << AnnouncementEnd::Opened << false;
        QTest::newRow("closed") << "close" << AnnouncementEnd::Dismissed << false;
        QTest::newRow("a later one of the watch") << "replace" << AnnouncementEnd::Replaced << true;
        QTest::newRow("the service went away") << "leave" << AnnouncementEnd::Gone << false;
        QTest::newRow("a service without clicks") << "" << AnnouncementEnd::Shown << false;
        // Waiting without the name would leave one waiting process a run.
        QTest::newRow("a holder of the name that won't give it up")
            << "squatted" << AnnouncementEnd::Shown << false;
    }

    void whatBecomesOfTheNotification()
    {
        QFETCH(QString, reaction);
        QFETCH(AnnouncementEnd, end);
        QFETCH(bool, withdrawn);
        NotificationBus bus;
        if (!bus.start())
            QSKIP("no dbus-daemon to stand in for the session bus");
        if (reaction.isEmpty())
            bus.service.capabilities = {QStringLiteral("body")};
        const Announcement a{QStringLiteral("天気"), 3, {"晴れ", "雨"}, 2};
        if (reaction == QLatin1String("squatted"))
            QVERIFY(bus.connection(QStringLiteral("other"))
                        .interface()
                        ->registerService(AnnouncementBusName(a.watch),
                                          QDBusConnectionInterface::DontQueueService,
                                          QDBusConnectionInterface::DontAllowReplacement)
                        .isValid());
        bus.service.afterNotify = [&](uint id) {
            // Another notification's click or closing is not this one's.
            QDBusConnection server = bus.connection();
            tell(server, QStringLiteral("ActionInvoked"), {id + 1, QStringLiteral("default")});
            tell(server, QStringLiteral("NotificationClosed"), {id + 1, 2u});
            if (reaction == QLatin1String("click"))
                tell(server, QStringLiteral("ActionInvoked"), {id, QStringLiteral("default")});
            else if (reaction == QLatin1String("close"))
                tell(server, QStringLiteral("NotificationClosed"), {id, 2u});
            else if (reaction == QLatin1String("replace"))
                bus.connection(QStringLiteral("other"))
                    .interface()
                    ->registerService(AnnouncementBusName(a.watch),
                                      QDBusConnectionInterface::ReplaceExistingService);
            else if (reaction == QLatin1String("leave"))
                server.unregisterService(kService);
        };
        // A waiting that never ends fails the row instead of holding the suite.
        QTimer limit;
        limit.setSingleShot(true);
        connect(&limit, &QTimer::timeout, [] { QCoreApplication::exit(1); });
        limit.start(30000);
        int opened = 0;
        const auto ended =
            AwaitAnnouncement(bus.connection(QStringLiteral("client")), a, [&opened] { ++opened; });
        QVERIFY(limit.isActive());
        QVERIFY(ended);
        QCOMPARE(*ended, end);
        QCOMPARE(opened, end == AnnouncementEnd::Opened ? 1 : 0);
        const auto notices = bus.service.notices();
        QCOMPARE(notices.size(), size_t(1));
        QCOMPARE(notices[0].summary, QStringLiteral("「天気」の新着 2件"));
        QCOMPARE(notices[0].body, QStringLiteral("晴れ\n雨"));
        QCOMPARE(notices[0].actions.contains(QStringLiteral("default")),
                 end != AnnouncementEnd::Shown);
        QCOMPARE(bus.service.closed(), withdrawn ? std::vector<uint>{1} : std::vector<uint>{});
    }

    void noServiceNoNotification()
    {
        NotificationBus bus;
        if (!bus.start())
            QSKIP("no dbus-daemon to stand in for the session bus");
        bus.connection().unregisterService(kService);
        const Announcement a{QStringLiteral("w"), 1, {QStringLiteral("t")}, 1};
        QVERIFY(!AwaitAnnouncement(bus.connection(QStringLiteral("client")), a, [] {}));
    }
};

QTEST_GUILESS_MAIN(NotifyTest)
#include "notify_test.moc"
