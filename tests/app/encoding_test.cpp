// CP932 conversion and the text rules shared by every data file.
#include "core/encoding.h"
#include "core/text.h"
#include "sandbox.h"

#include <QtTest>

#include <iconv.h>

namespace {

// The system's own CP932 table as the C library knows it: the reference the program must
// agree with on every code.
QString referenceDecode(const QByteArray &bytes)
{
    return QString::fromStdString(testsupport::decode(bytes.toStdString()));
}

QByteArray cp932(const char *utf8)
{
    return QByteArray::fromStdString(testsupport::encode(utf8));
}

} // namespace

class EncodingTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyDoubleByteCodeMatchesTheSystemTable()
    {
        iconv_t ref = iconv_open("UTF-16LE", "CP932");
        QVERIFY(ref != iconv_t(-1));
        int compared = 0;
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            for (int trail = 0x40; trail <= 0xFC; ++trail) {
                char in[2] = {char(lead), char(trail)};
                char16_t out[4] = {};
                char *ip = in;
                size_t il = 2;
                char *op = reinterpret_cast<char *>(out);
                size_t ol = sizeof out;
                iconv(ref, nullptr, nullptr, nullptr, nullptr);
                if (iconv(ref, &ip, &il, &op, &ol) == size_t(-1) || ol != sizeof out - 2)
                    continue;
                ++compared;
                const QByteArray bytes(in, 2);
                const QString text = fromCp932(bytes);
                QCOMPARE(text.size(), 1);
                QCOMPARE(uint(text.at(0).unicode()), uint(out[0]));
                // Windows writes the NEC-selected duplicates under their IBM codes, so only the
                // text must come back the same.
                bool lossless = false;
                QCOMPARE(fromCp932(toCp932(text, &lossless)), text);
                QVERIFY(lossless);
            }
        }
        iconv_close(ref);
        QVERIFY(compared > 7000);
    }

    void singleBytesAreCp932NotIbmControls()
    {
        QByteArray all;
        for (int b = 0; b < 0x80; ++b)
            all.append(char(b));
        for (int b = 0xA1; b <= 0xDF; ++b)
            all.append(char(b));
        const QString text = fromCp932(all);
        QCOMPARE(text, referenceDecode(all));
        QCOMPARE(toCp932(text), all);
        // The IBM table swaps these control codes; CP932 keeps them where they are.
        QCOMPARE(fromCp932(QByteArray("\x1a\x1c\x7f")), QString::fromUtf16(u"\x001a\x001c\x007f"));
    }

    void japaneseRoundTrips()
    {
        const char *samples[] = {"検索テーマ", "ｶﾀｶﾅ半角", "①髙﨑～－∥", "表示ソ能",
                                 "ＡＢＣ　全角"};
        for (const char *utf8 : samples) {
            const QByteArray bytes = cp932(utf8);
            QCOMPARE(fromCp932(bytes), QString::fromUtf8(utf8));
            QCOMPARE(toCp932(QString::fromUtf8(utf8)), bytes);
        }
    }

    void invalidBytesBecomeReplacementCharacters()
    {
        // 0x80, 0xA0 and 0xFD..0xFF are no characters; a lead byte needs a trail byte.
        QCOMPARE(fromCp932(QByteArray("a\x80"
                                      "b\xff")),
                 QString::fromUtf16(u"a\xFFFD"
                                    u"b\xFFFD"));
        QCOMPARE(fromCp932(QByteArray("x\x82")), QString::fromUtf16(u"x\xFFFD"));
        // A lead byte before a line end must not eat the line end.
        QCOMPARE(fromCp932(QByteArray("\x82\r\nz")), QString::fromUtf16(u"\xFFFD\r\nz"));
        // An unassigned double-byte code stays one character.
        QCOMPARE(fromCp932(QByteArray("\x85\x40q")).size(), 2);
    }

    void charactersCp932CantHoldAreReported()
    {
        bool lossless = true;
        QCOMPARE(toCp932(QString::fromUtf8("a😀b한c"), &lossless), QByteArray("a?b?c"));
        QVERIFY(!lossless);
        QVERIFY(!fitsCp932(QString::fromUtf8("é")));
        QVERIFY(fitsCp932(QString::fromUtf8("検索ｶﾅ")));
        // Look-alikes Windows writes as their CP932 twins.
        QCOMPARE(toCp932(QString::fromUtf16(u"\x301C\x2212"), &lossless), cp932("～－"));
        QVERIFY(lossless);
    }

    void fixedWidthFields()
    {
        char field[8];
        // "あいう" is six bytes: with the NUL only two characters fit into width 6.
        QVERIFY(!writeCp932Field(QString::fromUtf8("あいう"), field, 6));
        QCOMPARE(QByteArray(field), cp932("あい"));
        // Width 5 leaves room for 4 bytes; the cut never leaves half a character.
        QVERIFY(!writeCp932Field(QString::fromUtf8("aあい"), field, 5));
        QCOMPARE(QByteArray(field), cp932("aあ"));
        QVERIFY(writeCp932Field(QStringLiteral("abc"), field, 8));
        QCOMPARE(readCp932Field(field, 8), QStringLiteral("abc"));
        // A field filled to its width without a NUL is read only to its width.
        memcpy(field, "ABCDEFGH", 8);
        QCOMPARE(readCp932Field(field, 8), QStringLiteral("ABCDEFGH"));
        QCOMPARE(readCp932Field(field, 3), QStringLiteral("ABC"));
    }

    void leftWholeKeepsSurrogatePairs()
    {
        const QString text = QString::fromUtf8("ab😀c");
        QCOMPARE(leftWhole(text, 3), QStringLiteral("ab"));
        QCOMPARE(leftWhole(text, 4), QString::fromUtf8("ab😀"));
        QCOMPARE(leftWhole(text, 99), text);
        QCOMPARE(leftWhole(text, -1), QString());
    }

    void cutAtBlankAndWideWord()
    {
        QCOMPARE(CutAtBlank(QStringLiteral("http://a/ b")), QStringLiteral("http://a/"));
        QCOMPARE(CutAtBlank(QString::fromUtf16(u"ab\x0001"
                                               u"c")),
                 QStringLiteral("ab"));
        QCOMPARE(CutAtBlank(QStringLiteral(" lead")), QString());
        // The ideographic space is no blank here.
        QCOMPARE(CutAtBlank(QString::fromUtf8("検索　テーマ")), QString::fromUtf8("検索　テーマ"));
        QCOMPARE(WideWord(QString::fromUtf8("caf\u00e9")), 0);
        QCOMPARE(WideWord(QString::fromUtf8("abc検")), 1);
        QCOMPARE(WideWord(QString()), 0);
    }
};

QTEST_MAIN(EncodingTest)
#include "encoding_test.moc"
