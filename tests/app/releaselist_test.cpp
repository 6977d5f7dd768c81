// The record of fetched update files and the server's file list, without a window or server.
#include "core/encoding.h"
#include "core/makerhost.h"
#include "core/releaselist.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray sjis(const QString &text)
{
    return toCp932(text);
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class ReleaseListTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsTimeAndEntries();
    void missingOrEmptyRecordReadsNothing();
    void readStopsAtTheFiftyFirstEntry();
    void writeReplacesTheRecordWhole();
    void writeThenReadRoundTrips();
    void checkReleaseComparesInLowerCase_data();
    void checkReleaseComparesInLowerCase();
    void checkReleaseReservesAndFills();
    void parsesTheServerList();
    void serverListEndsEarly_data();
    void serverListEndsEarly();
    void sizeIsReadLeniently_data();
    void sizeIsReadLeniently();
    void refusesUnsafeNames_data();
    void refusesUnsafeNames();
    void refusesOtherSchemes();
    void makerUrlFollowsTheHost();
};

void ReleaseListTest::readsTimeAndEntries()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("release.dat");
    const QString longName = QString(90, QLatin1Char('n'));
    writeBytes(path, sjis(QStringLiteral("2001.02.03.04:05:06 trailing\r\n"
                                         "1.0>velmora.exe\r\n"
                                         "no mark here\r\n"
                                         "2.1a>ヘルプ.htm  after blank\r\n"
                                         ">\r\n"
                                         "3>") +
                          longName + QStringLiteral("\r\n")));
    ReleaseList list;
    list.count = 7;
    QVERIFY(ReadReleaseList(path, list));
    QCOMPARE(list.lastUpdate, QStringLiteral("2001.02.03.04:05:06"));
    QCOMPARE(list.count, 3);
    QCOMPARE(list.entries[0].version, QStringLiteral("1.0"));
    QCOMPARE(list.entries[0].name, QStringLiteral("velmora.exe"));
    QCOMPARE(list.entries[1].version, QStringLiteral("2.1a"));
    QCOMPARE(list.entries[1].name, QStringLiteral("ヘルプ.htm"));
    // A line counts with its first 80 characters only.
    QCOMPARE(list.entries[2].name, QString(78, QLatin1Char('n')));
}

void ReleaseListTest::missingOrEmptyRecordReadsNothing()
{
    QTemporaryDir dir;
    ReleaseList list;
    list.count = 3;
    QVERIFY(!ReadReleaseList(dir.filePath("release.dat"), list));
    QCOMPARE(list.count, 0);
    writeBytes(dir.filePath("empty.dat"), QByteArray());
    QVERIFY(!ReadReleaseList(dir.filePath("empty.dat"), list));
    QCOMPARE(list.count, 0);
    // A folder of that name can't be read either.
    QVERIFY(QDir(dir.path()).mkdir("folder.dat"));
    QVERIFY(!ReadReleaseList(dir.filePath("folder.dat"), list));
}

void ReleaseListTest::readStopsAtTheFiftyFirstEntry()
{
    QByteArray bytes = "2001.01.01.00:00:00\r\n";
    for (int i = 0; i < 60; ++i)
        bytes += "1>f" + QByteArray::number(i) + "\r\n";
    ReleaseList list;
    QVERIFY(ParseReleaseList(bytes, list));
    QCOMPARE(list.count, kReleaseMax);
    QCOMPARE(list.entries[kReleaseMax - 1].name, QStringLiteral("f50"));
}

void ReleaseListTest::writeReplacesTheRecordWhole()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("release.dat");
    writeBytes(path, QByteArray(5000, 'x'));
    ReleaseList list;
    list.count = 3;
    list.entries[0] = {QStringLiteral("1.0"), QStringLiteral("a.exe")};
    list.entries[1] = {}; // reserved for a file that was not fetched
    list.entries[2] = {QStringLiteral("β2"), QStringLiteral("説明.txt")};
    QVERIFY(WriteReleaseList(path, list, QStringLiteral("2024.05.06.07:08:09 junk")));
    QCOMPARE(list.lastUpdate, QStringLiteral("2024.05.06.07:08:09"));
    QCOMPARE(readBytes(path), QByteArray("2024.05.06.07:08:09\r\n1.0>a.exe\r\n") +
                                  sjis(QStringLiteral("β2>説明.txt\r\n")));
    // Only the record is left in the folder: the temporary file was renamed over it.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("release.dat")});
    // A folder that doesn't exist can't take the record.
    QVERIFY(!WriteReleaseList(dir.filePath("nowhere/release.dat"), list, QStringLiteral("t")));
}

void ReleaseListTest::writeThenReadRoundTrips()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("release.dat");
    ReleaseList written;
    for (int i = 0; i < kReleaseMax; ++i)
        written.entries[i] = {QString::number(i), QStringLiteral("file%1.dat").arg(i)};
    written.count = kReleaseMax;
    QVERIFY(WriteReleaseList(path, written, QStringLiteral("2030.12.31.23:59:59")));
    ReleaseList read;
    QVERIFY(ReadReleaseList(path, read));
    QCOMPARE(read.lastUpdate, written.lastUpdate);
    QCOMPARE(read.count, kReleaseMax);
    for (int i = 0; i < kReleaseMax; ++i) {
        QCOMPARE(read.entries[i].version, written.entries[i].version);
        QCOMPARE(read.entries[i].name, written.entries[i].name);
    }
}

void ReleaseListTest::checkReleaseComparesInLowerCase_data()
{
    QTest::addColumn<QString>("recordedVersion");
    QTest::addColumn<QString>("listedName");
    QTest::addColumn<QString>("listedVersion");
    QTest::addColumn<bool>("fetched");
    QTest::newRow("same version") << "1.2"
                                  << "app.exe"
                                  << "1.2" << false;
    QTest::newRow("older listed") << "1.2"
                                  << "app.exe"
                                  << "1.10" << false; // text, not number
    QTest::newRow("newer listed") << "1.2"
                                  << "app.exe"
                                  << "1.3" << true;
    QTest::newRow("name in capitals") << "1.2"
                                      << "APP.EXE"
                                      << "1.2" << false;
    QTest::newRow("version letters differ only in case") << "1.2B"
                                                         << "app.exe"
                                                         << "1.2b" << false;
    QTest::newRow("capital sorts after once lowered") << "1.2a"
                                                      << "App.Exe"
                                                      << "1.2C" << true;
    QTest::newRow("capital before small in codes, not in lower case") << "1.2b"
                                                                      << "app.exe"
                                                                      << "1.2A" << false;
}

void ReleaseListTest::checkReleaseComparesInLowerCase()
{
    QFETCH(QString, recordedVersion);
    QFETCH(QString, listedName);
    QFETCH(QString, listedVersion);
    QFETCH(bool, fetched);
    ReleaseList list;
    list.entries[0] = {QStringLiteral("9"), QStringLiteral("other.dat")};
    list.entries[1] = {recordedVersion, QStringLiteral("app.exe")};
    list.count = 2;
    QCOMPARE(CheckRelease(list, listedName, listedVersion), fetched ? 1 : kReleaseUpToDate);
    QCOMPARE(list.count, 2);
}

void ReleaseListTest::checkReleaseReservesAndFills()
{
    ReleaseList list;
    QCOMPARE(CheckRelease(list, QStringLiteral("new.dat"), QStringLiteral("1")), 0);
    QCOMPARE(list.count, 1);
    QVERIFY(list.entries[0].name.isEmpty());
    for (int i = 1; i < kReleaseMax; ++i)
        list.entries[i] = {QStringLiteral("1"), QStringLiteral("f%1").arg(i)};
    list.count = kReleaseMax;
    // A full record takes no new name, but its files are still kept up to date.
    QCOMPARE(CheckRelease(list, QStringLiteral("another.dat"), QStringLiteral("1")), kReleaseFull);
    QCOMPARE(list.count, kReleaseMax);
    QCOMPARE(CheckRelease(list, QStringLiteral("F7"), QStringLiteral("2")), 7);
    QCOMPARE(CheckRelease(list, QStringLiteral("f7"), QStringLiteral("1")), kReleaseUpToDate);
}

void ReleaseListTest::parsesTheServerList()
{
    const QString body = QStringLiteral("1.5>velmora.exe,123456\r\n"
                                        "http://host/files/velmora.exe\r\n"
                                        "2>ヘルプ.htm , 99\r\n"
                                        " https://host/help.htm \r\n"
                                        "3>nosize.txt\n"
                                        "http://host/nosize.txt\n");
    const QList<ListedFile> files = ParseUpdateList(body);
    QCOMPARE(files.size(), 3);
    QCOMPARE(files[0].version, QStringLiteral("1.5"));
    QCOMPARE(files[0].name, QStringLiteral("velmora.exe"));
    QCOMPARE(files[0].size, 123456);
    QCOMPARE(files[0].address, QStringLiteral("http://host/files/velmora.exe"));
    // The name ends at the first blank; so does a size.
    QCOMPARE(files[1].name, QStringLiteral("ヘルプ.htm"));
    QCOMPARE(files[1].size, 0);
    QCOMPARE(files[1].address, QStringLiteral("https://host/help.htm"));
    QCOMPARE(files[2].name, QStringLiteral("nosize.txt"));
    QCOMPARE(files[2].size, 0);
}

void ReleaseListTest::serverListEndsEarly_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<int>("count");
    QTest::newRow("empty answer") << QString() << 0;
    QTest::newRow("one line") << "1>a.dat,1" << 0;
    QTest::newRow("one line and CR LF") << "1>a.dat,1\r\n" << 1; // its address is empty
    QTest::newRow("no mark ends the list") << "1>a,1\r\nu\r\nEND\r\nx\r\n2>b,1\r\nu\r\n" << 1;
    QTest::newRow("odd last line") << "1>a,1\r\nu\r\n2>b,1" << 1;
    // Every tag holds ">": a page is read as pairs whose names are empty (refused later).
    QTest::newRow("html error page") << "<html>\r\n<body>oops</body>\r\n</html>\r\n" << 2;
}

void ReleaseListTest::serverListEndsEarly()
{
    QFETCH(QString, body);
    QFETCH(int, count);
    QCOMPARE(ParseUpdateList(body).size(), count);
}

void ReleaseListTest::sizeIsReadLeniently_data()
{
    QTest::addColumn<QString>("sizeText");
    QTest::addColumn<int>("size");
    QTest::newRow("plain") << "2048" << 2048;
    QTest::newRow("digits then letters") << "12kb" << 12;
    QTest::newRow("letters") << "big" << 0;
    QTest::newRow("negative") << "-5" << 0;
    QTest::newRow("beyond 32 bits") << "99999999999999999999" << INT_MAX;
}

void ReleaseListTest::sizeIsReadLeniently()
{
    QFETCH(QString, sizeText);
    QFETCH(int, size);
    const QList<ListedFile> files = ParseUpdateList("1>a.dat," + sizeText + "\r\nhttp://h/a\r\n");
    QCOMPARE(files.size(), 1);
    QCOMPARE(files[0].size, size);
}

void ReleaseListTest::refusesUnsafeNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("refused");
    QTest::newRow("plain") << "velmora.exe" << false;
    QTest::newRow("japanese") << "ヘルプ.htm" << false;
    QTest::newRow("dots inside") << "a.b.c" << false;
    QTest::newRow("empty") << "" << true;
    QTest::newRow("dot") << "." << true;
    QTest::newRow("parent") << ".." << true;
    QTest::newRow("traversal") << "../../etc/passwd" << true;
    QTest::newRow("hidden parent") << "a..b" << true;
    QTest::newRow("absolute") << "/etc/passwd" << true;
    QTest::newRow("sub folder") << "sub/file" << true;
    QTest::newRow("backslash") << "..\\evil.exe" << true;
    QTest::newRow("tab") << "a\tb" << true;
    QTest::newRow("escape") << "a\x1b[2Jb" << true;
    QTest::newRow("delete") << "a\x7f" << true;
    QTest::newRow("C1 control") << QString("a") + QChar(0x85) << true;
}

void ReleaseListTest::refusesUnsafeNames()
{
    QFETCH(QString, name);
    QFETCH(bool, refused);
    QCOMPARE(UpdateNameRefused(name), refused);
}

void ReleaseListTest::refusesOtherSchemes()
{
    // Files come over https only, unless the maker's host itself is plain http.
    SetMakerHost(QString());
    QVERIFY(UpdateAddressRefused(QStringLiteral("http://host/a")));
    QVERIFY(!UpdateAddressRefused(QStringLiteral("HTTPS://host/a")));
    QVERIFY(UpdateAddressRefused(QStringLiteral("file:///etc/passwd")));
    QVERIFY(UpdateAddressRefused(QStringLiteral("ftp://host/a")));
    QVERIFY(UpdateAddressRefused(QString()));
    SetMakerHost(QStringLiteral("http://127.0.0.1:8080"));
    QVERIFY(!UpdateAddressRefused(QStringLiteral("http://host/a")));
    QVERIFY(UpdateAddressRefused(QStringLiteral("ftp://host/a")));
    SetMakerHost(QString());
}

void ReleaseListTest::makerUrlFollowsTheHost()
{
    SetMakerHost(QStringLiteral("127.0.0.1:8080"));
    QCOMPARE(MakerUrl(kUpdateListPath),
             QStringLiteral("https://127.0.0.1:8080/halvane/velmora/update/update3.cgi"));
    SetMakerHost(QStringLiteral("https://example.test/"));
    QCOMPARE(MakerUrl(kMessagePath),
             QStringLiteral("https://example.test/halvane/velmora/update/umail.cgi"));
    SetMakerHost(QString());
    QCOMPARE(MakerHost(), QStringLiteral(VELMORA_MAKER_HOST));
}

QTEST_GUILESS_MAIN(ReleaseListTest)
#include "releaselist_test.moc"
