// Adding a site from an OpenSearch description in the site-search window: read from a file or
// fetched from the fixture server, shown before it is added, written to the user catalogue and
// listed in the Topics window with the user's ticks kept; a name the catalogue has, a
// description of HTML pages only, and an address that gives nothing are refused, saying why.
#include "opensearchfixture.h"
#include "runfixture.h"
#include "topics/sitesearch.h"
#include "topics/topicswindow.h"

#include <QSignalSpy>
#include <QTreeWidget>

using namespace runfixture;

namespace {

std::string description(const testsupport::SiteFarm &farm, const std::string &name,
                        const std::string &type)
{
    return opensearchfixture::description(name, type, farm.url("/feed"));
}

QStringList siteNames(const QTreeWidget *list)
{
    QStringList names;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        names << list->topLevelItem(i)->text(0);
    return names;
}

// Adds from where and waits for the end (false also when it never ends).
bool add(SiteSearch *dialog, const QString &where)
{
    QSignalSpy ended(dialog, &SiteSearch::openSearchEnded);
    dialog->AddFromOpenSearch(where);
    return ended.wait(60000) && ended.first().first().toBool();
}

} // namespace

class SiteSearchTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void addsASiteFromAnOpenSearchDescription();
    void refusesWhatItCantAdd();
};

void SiteSearchTest::addsASiteFromAnOpenSearchDescription()
{
    Stage stage;
    stage.open({{"alpha", "日本語", "/alpha/search"}, {"beta", "日本語", "/beta/search"}},
               {{"t", {"alpha"}}});
    stage.sandbox.write("feedy.xml", description(stage.farm, "Feedy", "application/atom+xml"));
    stage.farm.serve("/osd.xml",
                     testsupport::page(description(stage.farm, "Fetched", "application/rss+xml")));
    Topics topics(stage.session);
    topics.show();
    // An unapplied tick survives the list being made again.
    topics.row(2)->setCheckState(0, Qt::Checked);
    QVERIFY(topics.modified());
    SiteSearch *dialog = topics.siteSearchDialog();
    QCOMPARE(dialog->AddOpenSearch->text(), QStringLiteral("OpenSearchから追加…"));

    // Cancelled at the question: nothing is written.
    msgbox::setNextAnswer(QMessageBox::Cancel);
    QVERIFY(!add(dialog, QString::fromStdString((stage.sandbox.path() / "feedy.xml").string())));
    QVERIFY(msgbox::shown().last().text.contains(QStringLiteral("サイト名：Feedy")));
    QVERIFY(stage.sandbox.read("usersites.dat").empty());

    msgbox::setNextAnswer(QMessageBox::Ok);
    QVERIFY(add(dialog, QString::fromStdString((stage.sandbox.path() / "feedy.xml").string())));
    msgbox::setNextAnswer(QMessageBox::Ok);
    QVERIFY(add(dialog, QString::fromStdString(stage.farm.url("/osd.xml"))));
    QVERIFY(msgbox::shown().last().text.contains(QStringLiteral("「Fetched」を追加しました")));

    const std::string stored = stage.sandbox.read("usersites.dat");
    QVERIFY(stored.find("SITE Feedy") != std::string::npos);
    QVERIFY(stored.find("SITE Fetched") != std::string::npos);
    QCOMPARE(stage.session.sites.count, 4);
    QCOMPARE(siteNames(topics.LVSite), QStringList({"alpha", "beta", "Feedy", "Fetched"}));
    QVERIFY(topics.rowChecked(1) && topics.rowChecked(2));
    QVERIFY(!topics.rowChecked(3) && !topics.rowChecked(4));
    QVERIFY(topics.modified());
}

void SiteSearchTest::refusesWhatItCantAdd()
{
    Stage stage;
    stage.open({{"alpha", "日本語", "/alpha/search"}}, {{"t", {"alpha"}}});
    stage.sandbox.write("same.xml", description(stage.farm, "alpha", "application/atom+xml"));
    stage.sandbox.write("html.xml", description(stage.farm, "Pages", "text/html"));
    stage.sandbox.write("junk.xml", "<html><body>not a description</body></html>");
    stage.farm.serve("/gone.xml", testsupport::status(404));
    Topics topics(stage.session);
    SiteSearch *dialog = topics.siteSearchDialog();
    auto inBox = [&](const char *name) {
        return QString::fromStdString((stage.sandbox.path() / name).string());
    };
    const struct {
        QString where;
        QString says;
    } cases[] = {
        {inBox("same.xml"), QStringLiteral("すでにサイト一覧にあります")},
        {inBox("html.xml"), QStringLiteral("HTMLページでしか返しません")},
        {inBox("junk.xml"), QStringLiteral("OpenSearch記述ではない")},
        {inBox("missing.xml"), QStringLiteral("ファイルを読めません")},
        {QString::fromStdString(stage.farm.url("/gone.xml")),
         QStringLiteral("取得できませんでした")},
    };
    for (const auto &c : cases) {
        msgbox::clearShown();
        QVERIFY2(!add(dialog, c.where), qPrintable(c.where));
        QCOMPARE(msgbox::shown().size(), 1);
        QVERIFY2(msgbox::shown().first().text.contains(c.says),
                 qPrintable(msgbox::shown().first().text));
    }
    QVERIFY(stage.sandbox.read("usersites.dat").empty());
    QCOMPARE(stage.session.sites.count, 1);
}

QTEST_MAIN(SiteSearchTest)
#include "sitesearch_test.moc"
