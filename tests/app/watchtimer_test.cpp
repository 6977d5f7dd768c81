// Watches on a schedule: the unit files in the user's folder, the instance names, and
// systemctl's answer, with a stand-in systemctl on PATH.
#include "core/watchtimer.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

QString readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// A systemctl on PATH that appends its arguments to a log and answers as told.
void standInSystemctl(const QTemporaryDir &dir, const QByteArray &said, int status)
{
    QFile script(dir.filePath(QStringLiteral("systemctl")));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\necho \"$*\" >> \"" + dir.filePath("calls").toUtf8() + "\"\necho '" +
                 said + "'\nexit " + QByteArray::number(status) + "\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("PATH", dir.path().toUtf8() + ":/usr/bin:/bin");
}

} // namespace

class WatchTimerTest : public QObject {
    Q_OBJECT

    QByteArray path_ = qgetenv("PATH");

private Q_SLOTS:
    void cleanup() { qputenv("PATH", path_); }

    void instanceNamesComeBackWhole_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("instance");
        QTest::newRow("plain") << "news_1.2"
                               << "news_1.2";
        QTest::newRow("blank and slash") << "a b/c"
                                         << "a\\x20b-c";
        QTest::newRow("leading dot") << ".x"
                                     << "\\x2ex";
        QTest::newRow("Japanese") << "天気"
                                  << "\\xe5\\xa4\\xa9\\xe6\\xb0\\x97";
        QTest::newRow("dash") << "a-b"
                              << "a\\x2db";
    }
    void instanceNamesComeBackWhole()
    {
        QFETCH(QString, name);
        QFETCH(QString, instance);
        QCOMPARE(WatchInstance(name), instance);
    }

    void unitsGoToTheConfigFolderWithTheChosenInterval()
    {
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        QString error;
        QVERIFY(WriteWatchUnits(QStringLiteral("/opt/my $apps/velmora-search"),
                                QStringLiteral("天気 予報"), 30, &error));
        QVERIFY(!WriteWatchUnits(QStringLiteral("/x"), QString(30, u'天'), 30, &error));
        QVERIFY2(error.contains(QStringLiteral("長すぎる")), qPrintable(error));
        // systemd would read the name's "$HOME" as its variable.
        QVERIFY(!WriteWatchUnits(QStringLiteral("/x"), QStringLiteral("$HOME"), 30, &error));
        QVERIFY2(error.contains(QStringLiteral("「$」")), qPrintable(error));
        const QString units = config.filePath(QStringLiteral("systemd/user/"));
        QCOMPARE(WatchUnitFolder(), config.filePath(QStringLiteral("systemd/user")));
        const QString service = readAll(units + "velmora-watch@.service");
        QVERIFY(service.contains("ExecStart=\"/opt/my $$apps/velmora-search\" --watch %I\n"));
        // The notification's waiter outlives the run it was left by.
        QVERIFY(service.contains("KillMode=process\n"));
        QVERIFY(readAll(units + "velmora-watch@.timer").contains("WantedBy=timers.target"));
        const QString dropIn =
            units + "velmora-watch@" + WatchInstance("天気 予報") + ".timer.d/interval.conf";
        QVERIFY(readAll(dropIn).endsWith("OnUnitActiveSec=\nOnUnitActiveSec=30min\n"));
        qunsetenv("XDG_CONFIG_HOME");
    }

    void systemctlIsAskedForTheWatchsTimer()
    {
        QTemporaryDir bin;
        standInSystemctl(bin, "", 0);
        QString output;
        QVERIFY(EnableWatchTimer(QStringLiteral("w 1"), &output));
        QCOMPARE(readAll(bin.filePath("calls")),
                 QStringLiteral("--user daemon-reload\n--user enable --now "
                                "velmora-watch@w\\x201.timer\n"));
    }

    // A watch taken off its schedule: the timer disabled, then its interval removed. A failed
    // systemctl keeps the interval, so that the watch still counts as scheduled.
    void unschedulingDisablesTheTimerFirst()
    {
        QTemporaryDir config, bin;
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        QString output;
        QVERIFY(UnscheduleWatch(QStringLiteral("w 1"), &output)); // never scheduled: nothing
        QVERIFY(WriteWatchUnits(QStringLiteral("/x"), QStringLiteral("w 1"), 15, &output));
        standInSystemctl(bin, "No medium found", 1);
        QVERIFY(!UnscheduleWatch(QStringLiteral("w 1"), &output));
        QVERIFY(WatchScheduled(QStringLiteral("w 1")));
        standInSystemctl(bin, "", 0);
        QVERIFY(UnscheduleWatch(QStringLiteral("w 1"), &output));
        QVERIFY(!WatchScheduled(QStringLiteral("w 1")));
        QCOMPARE(readAll(bin.filePath("calls")).split(u'\n').mid(1),
                 QStringList({"--user disable --now velmora-watch@w\\x201.timer",
                              "--user daemon-reload", ""}));
        qunsetenv("XDG_CONFIG_HOME");
    }

    void aFailedSystemctlIsToldWithWhatItSaid()
    {
        QTemporaryDir bin;
        standInSystemctl(bin, "Failed to connect to bus: No medium found", 1);
        QString output;
        QVERIFY(!EnableWatchTimer(QStringLiteral("w"), &output));
        QCOMPARE(output, QStringLiteral("Failed to connect to bus: No medium found"));
        // Without any systemctl at all.
        qputenv("PATH", bin.filePath("none").toUtf8());
        QVERIFY(!EnableWatchTimer(QStringLiteral("w"), &output));
        QVERIFY(output.startsWith(QStringLiteral("systemctlを起動できませんでした")));
    }
};

QTEST_MAIN(WatchTimerTest)
#include "watchtimer_test.moc"
