// How a site's part of a search is told: from what the library reports to the texts the
// Searching window and the console front end show.
#include "core/outcome.h"
#include "tessel.h"

#include <QSet>
#include <QtTest>

class OutcomeTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fetchResultsBecomeOutcomes()
    {
        const struct {
            int32_t fetch;
            SiteOutcome kind;
            int32_t code;
        } cases[] = {
            {200, SiteOutcome::NoHits, 0},
            {302, SiteOutcome::NoHits, 0},
            {404, SiteOutcome::HttpError, 404},
            {500, SiteOutcome::HttpError, 500},
            {TESSEL_FETCH_NAME, SiteOutcome::NameNotFound, 0},
            {TESSEL_FETCH_CONNECT, SiteOutcome::CannotConnect, 0},
            {TESSEL_FETCH_TLS, SiteOutcome::SecureFailed, 0},
            {TESSEL_FETCH_TIMEOUT, SiteOutcome::TimedOut, 0},
            {TESSEL_FETCH_NO_ANSWER, SiteOutcome::NoAnswer, 0},
            {TESSEL_FETCH_BAD_REQUEST, SiteOutcome::NotBuilt, TESSEL_FETCH_BAD_REQUEST},
            {TESSEL_FETCH_CANCELLED, SiteOutcome::Stopped, 0},
            {0, SiteOutcome::Pending, 0},
        };
        for (const auto &c : cases) {
            const SiteResult r = OutcomeOfFetch(c.fetch, 0);
            QCOMPARE(int(r.kind), int(c.kind));
            QCOMPARE(r.code, c.code);
            QCOMPARE(IsFailure(r),
                     c.kind != SiteOutcome::Pending && c.kind != SiteOutcome::Stopped);
        }
        // Hits count whatever the site's last page did.
        QCOMPARE(int(OutcomeOfFetch(404, 3).kind), int(SiteOutcome::Found));
        QVERIFY(!IsFailure(OutcomeOfFetch(TESSEL_FETCH_CANCELLED, 1)));
    }

    // How the library read the page tells a block and the site's own "nothing found" from a
    // script that no longer fits; hits still win over either.
    void pageKindsBecomeOutcomes()
    {
        const struct {
            int32_t fetch, hits, page;
            SiteOutcome kind;
            bool failure;
        } cases[] = {
            {429, 0, TESSEL_PAGE_BLOCKED, SiteOutcome::Blocked, true},
            {200, 0, TESSEL_PAGE_BLOCKED, SiteOutcome::Blocked, true},
            {200, 0, TESSEL_PAGE_NO_HITS, SiteOutcome::Empty, false},
            {200, 0, TESSEL_PAGE_READ, SiteOutcome::NoHits, true},
            {200, 4, TESSEL_PAGE_BLOCKED, SiteOutcome::Found, false},
            {TESSEL_FETCH_TIMEOUT, 0, TESSEL_PAGE_NONE, SiteOutcome::TimedOut, true},
        };
        for (const auto &c : cases) {
            const SiteResult r = OutcomeOfFetch(c.fetch, c.hits, c.page);
            QCOMPARE(int(r.kind), int(c.kind));
            QCOMPARE(IsFailure(r), c.failure);
        }
    }

    // Every ending reads differently, in both languages; a status code and the reason a request
    // could not be built are part of the text.
    void eachOutcomeHasItsOwnText()
    {
        const SiteResult all[] = {
            {SiteOutcome::Found},
            {SiteOutcome::NoHits},
            {SiteOutcome::Empty},
            {SiteOutcome::Blocked},
            {SiteOutcome::NameNotFound},
            {SiteOutcome::CannotConnect},
            {SiteOutcome::SecureFailed},
            {SiteOutcome::TimedOut},
            {SiteOutcome::NoAnswer},
            {SiteOutcome::HttpError, 404},
            {SiteOutcome::HttpError, 500},
            {SiteOutcome::NotBuilt, TESSEL_E_ONE_WORD_SITE},
            {SiteOutcome::NotBuilt, TESSEL_E_NO_LIST},
            {SiteOutcome::NotBuilt, TESSEL_E_NO_KEYWORD},
            {SiteOutcome::Stopped},
            {SiteOutcome::Skipped},
            {SiteOutcome::ListFull},
        };
        for (const OutcomeLanguage language :
             {OutcomeLanguage::Japanese, OutcomeLanguage::English}) {
            QSet<QString> seen;
            for (const SiteResult &r : all) {
                const QString text = OutcomeText(r, language);
                QVERIFY(!text.isEmpty());
                QVERIFY2(!seen.contains(text), qPrintable(text));
                seen.insert(text);
            }
            QVERIFY(OutcomeText({SiteOutcome::Pending}, language).isEmpty());
        }
        QCOMPARE(OutcomeText({SiteOutcome::HttpError, 404}), QString::fromUtf8("HTTPエラー 404"));
        QCOMPARE(OutcomeText({SiteOutcome::HttpError, 503}, OutcomeLanguage::English),
                 QStringLiteral("HTTP error 503"));
        QCOMPARE(OutcomeText({SiteOutcome::TimedOut}, OutcomeLanguage::English),
                 QStringLiteral("no answer within the time limit"));
        // A paused site tells when it will be asked again, in local time.
        const int64_t at = QDateTime(QDate(2026, 3, 1), QTime(14, 5)).toSecsSinceEpoch();
        QCOMPARE(OutcomeText({SiteOutcome::Blocked, 0, at}, OutcomeLanguage::English),
                 QStringLiteral("blocked, next try at 14:05"));
        QCOMPARE(OutcomeText({SiteOutcome::Blocked, 0, at}),
                 QString::fromUtf8("アクセスが制限されています（次の試行 14:05）"));
    }
};

QTEST_GUILESS_MAIN(OutcomeTest)
#include "outcome_test.moc"
