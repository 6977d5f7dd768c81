// The keywords as each site receives them: typed characters reach UTF-8 sites whole, the
// others get what CP932 can hold, and blanks of either width separate words.
#include "core/keywords.h"
#include "runfixture.h"
#include "tessel.h"

#include <QtTest>

namespace {

// What iForm builds for the site from the typed text, or its error code as text.
QString request(int32_t site, int32_t mode, const QString &typed, bool utf8Site)
{
    char out[TESSEL_REQUEST_SIZE] = {};
    const int32_t rc = iForm(site, mode, 0, KeywordBytes(typed, utf8Site).constData(), out);
    return rc == 0 ? QString::fromLatin1(out) : QString::number(rc);
}

} // namespace

class KeywordsTest : public QObject {
    Q_OBJECT

    testsupport::Sandbox box_;

private Q_SLOTS:
    void initTestCase()
    {
        box_.write("sitelist.dat",
                   runfixture::packCatalogue(
                       "SITE u\r\nMEMO AND OR UTF8\r\nAND http://u/?q=_WORD1_+_WORD2_"
                       "\r\nOR http://u/?q=_WORD1_|_WORD2_\r\nENDSITE\r\n"
                       "SITE s\r\nMEMO AND OR\r\nAND http://s/?q=_WORD1_+_WORD2_"
                       "\r\nOR http://s/?q=_WORD1_|_WORD2_\r\nENDSITE\r\n"));
        QCOMPARE(LoadSite(), 2);
    }

    void utf8SitesReceiveTheCharactersAsTyped()
    {
        const QString typed = QString::fromUtf8("😀 𠮷野家");
        QCOMPARE(request(0, 0, typed, true),
                 QStringLiteral("http://u/?q=%F0%9F%98%80+%F0%A0%AE%B7%E9%87%8E%E5%AE%B6"));
        // A character CP932 writes only as a look-alike goes as itself: 〜 is not ～.
        QCOMPARE(request(0, 0, QString::fromUtf8("〜"), true),
                 QStringLiteral("http://u/?q=%E3%80%9C"));
    }

    // The program hands iForm the words as typed and iForm escapes them, once: a "%" arrives
    // as %25, escapes typed as text stay text, Japanese goes as its bytes.
    void everyWordIsEscapedExactlyOnce()
    {
        const struct {
            const char *typed;
            const char *utf8;
            const char *cp932;
        } cases[] = {
            {"C++ 100%", "C%2B%2B+100%25", "C%2B%2B+100%25"},
            {"AT&T a=b", "AT%26T+a%3Db", "AT%26T+a%3Db"},
            {"%E6%97%A5", "%25E6%2597%25A5", "%25E6%2597%25A5"},
            {"&#128512;", "%26%23128512%3B", "%26%23128512%3B"},
            {"日本😀", "%E6%97%A5%E6%9C%AC%F0%9F%98%80", "%93%FA%96%7B"},
        };
        for (const auto &c : cases) {
            const QString typed = QString::fromUtf8(c.typed);
            QCOMPARE(request(0, 0, typed, true), QStringLiteral("http://u/?q=") + c.utf8);
            QCOMPARE(request(1, 0, typed, false), QStringLiteral("http://s/?q=") + c.cp932);
        }
    }

    void otherSitesGetWhatCp932HoldsAndTheUserIsToldWhatNot()
    {
        const QString typed = QString::fromUtf8("😀 𠮷野家 😀");
        // 野家 is 96 EC 89 C6; the emoji word is gone, 𠮷 is left out of its word.
        QCOMPARE(request(1, 0, typed, false), QStringLiteral("http://s/?q=%96%EC%89%C6"));
        QCOMPARE(UnsendableCharacters(typed),
                 QStringList({QString::fromUtf8("😀"), QString::fromUtf8("𠮷")}));
        QVERIFY(UnsendableNotice(UnsendableCharacters(typed)).contains(QString::fromUtf8("😀 𠮷")));
        QVERIFY(UnsendableCharacters(QString::fromUtf8("日本語 abc ｱ")).isEmpty());
        // Nothing left to send at all: iForm refuses, so no stale request can go out instead.
        QCOMPARE(request(1, 0, QString::fromUtf8("😀"), false),
                 QString::number(TESSEL_E_NO_KEYWORD));
    }

    void anIdeographicSpaceSeparatesWordsInBothLists()
    {
        const QString typed = QString::fromUtf8("日本\u3000語");
        QCOMPARE(request(1, 0, typed, false), QStringLiteral("http://s/?q=%93%FA%96%7B+%8C%EA"));
        QCOMPARE(request(1, 1, typed, false), QStringLiteral("http://s/?q=%93%FA%96%7B|%8C%EA"));
        QCOMPARE(request(0, 0, typed, true),
                 QStringLiteral("http://u/?q=%E6%97%A5%E6%9C%AC+%E8%AA%9E"));
        QCOMPARE(request(0, 1, typed, true),
                 QStringLiteral("http://u/?q=%E6%97%A5%E6%9C%AC|%E8%AA%9E"));
    }

    // A text is blank exactly when the library finds no word in it, for either kind of site.
    void blankMeansNoWordForTheLibrary()
    {
        const QString texts[] = {QString(),
                                 QStringLiteral("   "),
                                 QString::fromUtf8("\u3000 \u3000"),
                                 QStringLiteral("\t a"),
                                 QStringLiteral(" a"),
                                 QString::fromUtf8("\u3000語")};
        for (const QString &text : texts) {
            const bool noWord = request(1, 0, text, false) == QString::number(TESSEL_E_NO_KEYWORD);
            QCOMPARE(KeywordIsBlank(text), noWord);
            QCOMPARE(request(0, 0, text, true) == QString::number(TESSEL_E_NO_KEYWORD), noWord);
        }
        QVERIFY(KeywordIsBlank(QString::fromUtf8("\u3000")));
        QVERIFY(!KeywordIsBlank(QStringLiteral("a")));
    }
};

QTEST_GUILESS_MAIN(KeywordsTest)
#include "keywords_test.moc"
