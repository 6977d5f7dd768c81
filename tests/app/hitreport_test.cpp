// The one report writer writes what the window's save writes, byte for byte, and reports a
// file it could not write.
#include "core/hitreport.h"
#include "mainwindow/report.h"
#include "runfixture.h"

#include <QApplication>

using namespace runfixture;

class HitReportTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { msgbox::setAutoAnswer(true); }
    void sameBytesAsTheWindowsSave();
    void unwritableFolderFails();
};

void HitReportTest::sameBytesAsTheWindowsSave()
{
    Stage stage;
    testsupport::SearchSite site;
    site.totalHits = 12;
    stage.farm.serveSearch("/a/search", site);
    stage.farm.serveSearch("/b/search", site);
    stage.open({{"a", "日本語", "/a/search"}, {"b", "日本語", "/b/search"}}, {{"t", {"a", "b"}}});
    const QString keyword = QStringLiteral("富士 <山> & 川");
    stage.search(keyword);
    QVERIFY(stage.session.run.HitCount > 10);

    QList<int32_t> order;
    for (int i = 0; i < stage.session.run.HitCount; ++i)
        order << stage.session.run.HitOrder[i];
    const QString dir = QString::fromStdString(stage.sandbox.path().string());
    // The saving time is part of both files: the pair is written again when a second turned
    // between them.
    std::string window;
    std::string shared;
    for (int attempt = 0; attempt < 3 && (window.empty() || window != shared); ++attempt) {
        QVERIFY(SaveReport(*stage.form, dir + QStringLiteral("/window.txt")));
        QVERIFY(WriteHitReport(keyword, order, dir + QStringLiteral("/shared")));
        window = stage.sandbox.read("window.htm");
        shared = stage.sandbox.read("shared.htm");
    }
    QVERIFY(window.find("</html>") != std::string::npos);
    QCOMPARE(QByteArray::fromStdString(shared), QByteArray::fromStdString(window));
}

void HitReportTest::unwritableFolderFails()
{
    testsupport::Sandbox sandbox;
    const QString path = QString::fromStdString((sandbox.path() / "missing" / "r").string());
    QVERIFY(!WriteHitReport(QStringLiteral("k"), {}, path));
    QVERIFY(!QFileInfo::exists(path + QStringLiteral(".htm")));
}

QTEST_MAIN(HitReportTest)
#include "hitreport_test.moc"
