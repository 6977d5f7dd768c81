// Sites paused after a block: how long, when the pause ends, and that a later program start
// still knows of it.
#include "core/sitepause.h"
#include "sandbox.h"

#include <QtTest>

class SitePauseTest : public QObject {
    Q_OBJECT

    int64_t now_ = 1'700'000'000;
    SitePauses::Clock clock()
    {
        return [this] { return now_; };
    }

private Q_SLOTS:
    // The site's own Retry-After when it names one, else 5 min, 15 min, then 1 h for each block
    // in a row; an answer starts short again.
    void pauseLengths()
    {
        SitePauses pauses({}, clock());
        QCOMPARE(pauses.blocked(QStringLiteral("a"), 120), now_ + 120);
        const int64_t growing[] = {15 * 60, 60 * 60, 60 * 60};
        for (const int64_t wait : growing)
            QCOMPARE(pauses.blocked(QStringLiteral("a"), -1), now_ + wait);
        pauses.answered(QStringLiteral("a"));
        QCOMPARE(pauses.pausedUntil(QStringLiteral("a")), int64_t(0));
        QCOMPARE(pauses.blocked(QStringLiteral("a"), -1), now_ + 5 * 60);
        // "Retry-After: 0" still waits a moment rather than asking again at once.
        QCOMPARE(pauses.blocked(QStringLiteral("b"), 0), now_ + 1);
    }

    // Paused until the moment passes, and a fresh store read from the file agrees.
    void pauseEndsAndSurvivesRestart()
    {
        testsupport::Sandbox box;
        const QString path = QString::fromStdString((box.path() / "paused.dat").string());
        SitePauses pauses(path, clock());
        const int64_t until = pauses.blocked(QString::fromUtf8("ウィキ"), 600);
        pauses.blocked(QStringLiteral("other"), -1);
        pauses.answered(QStringLiteral("other"));

        // Another run that started before these pauses keeps them when it pauses a site.
        SitePauses rival(path, clock());
        SitePauses(path, clock()).blocked(QStringLiteral("third"), 60);
        rival.blocked(QStringLiteral("fourth"), 60);

        SitePauses again(path, clock());
        QCOMPARE(again.pausedUntil(QStringLiteral("third")), now_ + 60);
        QCOMPARE(again.pausedUntil(QStringLiteral("fourth")), now_ + 60);
        QCOMPARE(again.pausedUntil(QString::fromUtf8("ウィキ")), until);
        QCOMPARE(again.pausedUntil(QStringLiteral("other")), int64_t(0));
        now_ += 599;
        QCOMPARE(again.pausedUntil(QString::fromUtf8("ウィキ")), until);
        now_ += 1;
        QCOMPARE(again.pausedUntil(QString::fromUtf8("ウィキ")), int64_t(0));
    }

    // A damaged file costs at most an early ask: its readable lines count, the rest is dropped,
    // and no pause read outlasts a week.
    void damagedFileIsRead()
    {
        testsupport::Sandbox box;
        box.write("paused.dat", "garbage\n9999999999\tx\tbad\n9999999999\t1\tgood\n\t\t\n");
        SitePauses pauses(QString::fromStdString((box.path() / "paused.dat").string()), clock());
        QCOMPARE(pauses.pausedUntil(QStringLiteral("good")), now_ + 7 * 24 * 3600);
        QCOMPARE(pauses.pausedUntil(QStringLiteral("bad")), int64_t(0));
    }
};

QTEST_GUILESS_MAIN(SitePauseTest)
#include "sitepause_test.moc"
