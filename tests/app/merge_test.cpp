// Which hits merge: the page key of a URL, rule by rule, and the merged rank.
#include "core/merge.h"

#include <QtTest>

class MergeTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void keyRules_data();
    void keyRules();
    void keySpelling();
    void rankAddsTheSitesOpinions();
    void statusNote();
};

void MergeTest::keyRules_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("same");

    const QString page = QStringLiteral("https://example.com/docs/page");
    QTest::newRow("scheme ignored") << "http://example.com/docs/page" << page << true;
    QTest::newRow("host in any case") << "https://EXAMPLE.Com/docs/page" << page << true;
    QTest::newRow("leading www.") << "https://www.example.com/docs/page" << page << true;
    QTest::newRow("www2 is another host") << "https://www2.example.com/docs/page" << page << false;
    QTest::newRow("default port") << "https://example.com:443/docs/page" << page << true;
    QTest::newRow("other port") << "https://example.com:8443/docs/page" << page << false;
    QTest::newRow("empty path") << "https://example.com"
                                << "http://example.com/" << true;
    QTest::newRow("trailing slash") << "https://example.com/docs/page/" << page << true;
    QTest::newRow("fragment") << "https://example.com/docs/page#part-2" << page << true;
    QTest::newRow("path keeps its case") << "https://example.com/Docs/page" << page << false;
    QTest::newRow("tracking parameters")
        << "https://example.com/docs/page?utm_source=a&fbclid=b&gclid=c&yclid=d&mc_cid=e&"
           "mc_eid=f&msclkid=g&ref_src=h&UTM_Campaign=i&id=7"
        << "https://example.com/docs/page?id=7" << true;
    QTest::newRow("as written in the page's markup")
        << "https://example.com/docs/page?utm_source=a&amp;id=7"
        << "https://example.com/docs/page?id=7" << true;
    QTest::newRow("other parameters count")
        << "https://example.com/docs/page?id=8" << page << false;
    QTest::newRow("percent-encoding") << "https://example.com/%7euser/caf%c3%a9"
                                      << "https://example.com/~user/café" << true;
    QTest::newRow("escaped reserved stays escaped") << "https://example.com/a%2Fb"
                                                    << "https://example.com/a/b" << false;
    QTest::newRow("/l/?uddg= wrapper")
        << "https://duckduckgo.com/l/?uddg=https%3A%2F%2Fmeta.example.org%2Fguide%2F&rut=8f1c0d"
        << "https://meta.example.org/guide" << true;
    QTest::newRow("/ck/a?u=a1 wrapper")
        << "https://www.bing.com/ck/a?!&&p=5d3a&u=a1" +
               QString::fromLatin1(
                   QByteArray("https://example.com/docs/page?x=1")
                       .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals)) +
               "&ntb=1"
        << "https://example.com/docs/page?x=1" << true;
    QTest::newRow("/url?q= wrapper")
        << "https://www.google.com/url?q=https://en.wikipedia.org/wiki/Coffee&sa=U&ved=2ahU"
        << "https://en.wikipedia.org/wiki/Coffee" << true;
}

void MergeTest::keyRules()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, same);
    QCOMPARE(MergeKey(a) == MergeKey(b), same);
}

void MergeTest::keySpelling()
{
    QCOMPARE(MergeKey(QStringLiteral("HTTP://WWW.Example.COM:80/?utm_medium=x#top")),
             QStringLiteral("example.com/"));
    QCOMPARE(MergeKey(QStringLiteral("https://example.com/a b?q=%e6%97%a5")),
             QStringLiteral("example.com/a%20b?q=%E6%97%A5"));
    // A wrapper's parameter that is no web address is not followed.
    const QString odd = QStringLiteral("https://example.com/l/?uddg=javascript%3Aalert(1)");
    QCOMPARE(UnwrapRedirect(odd), odd);
}

void MergeTest::rankAddsTheSitesOpinions()
{
    QCOMPARE(MergedRank({1}), 1.0 / 61);
    QCOMPARE(MergedRank({1, 3}), 1.0 / 61 + 1.0 / 63);
    // Two sites placing a page tenth beat one site placing it first.
    QVERIFY(MergedRank({10, 10}) > MergedRank({1}));
    QVERIFY(MergedRank({1}) > MergedRank({2}));
}

void MergeTest::statusNote()
{
    QCOMPARE(MergedCountSuffix(12), QStringLiteral("（重複12件をまとめました）"));
    QCOMPARE(MergedCountSuffix(0), QString());
}

QTEST_GUILESS_MAIN(MergeTest)
#include "merge_test.moc"
