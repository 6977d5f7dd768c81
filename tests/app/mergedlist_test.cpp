// The main window's merged list: two sites that find the same pages under other spellings of
// their addresses, folded into one row a page and unfolded again.
#include "core/merge.h"
#include "mainwindow/windowmemory.h"
#include "runfixture.h"

#include <QAction>
#include <QHeaderView>
#include <QMenuBar>
#include <QSet>

using namespace runfixture;

class MergedListTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { msgbox::setAutoAnswer(true); }
    void pagesFoundTwiceShowOnce();
};

namespace {

QAction *entry(Stage &stage, const char *name)
{
    return stage.form->menuBar()->findChild<QAction *>(QLatin1String(name));
}

QStringList keysOf(const QStringList &urls)
{
    QStringList keys;
    for (const QString &url : urls)
        keys << MergeKey(url);
    return keys;
}

} // namespace

void MergedListTest::pagesFoundTwiceShowOnce()
{
    Stage stage;
    const std::string port = std::to_string(stage.farm.port());
    auto at = [&stage](const char *path) { return stage.farm.url(path); };
    // alpha lists a..d and e; beta the same four pages in other spellings, and f.
    stage.farm.serve(
        "/alpha/search",
        testsupport::page(resultPage(
            {at("/doc/a"), at("/doc/b"), at("/doc/c"), at("/doc/d"), at("/doc/e")}, "alpha")));
    stage.farm.serve("/beta/search", testsupport::page(resultPage(
                                         {"https://127.0.0.1:" + port + "/doc/a",
                                          "http://www.127.0.0.1:" + port + "/doc/b", at("/doc/c/"),
                                          at("/doc/d?utm_source=feed"), at("/doc/f")},
                                         "beta longer")));
    stage.open({{"alpha", "日本語", "/alpha/search"}, {"beta", "日本語", "/beta/search"}},
               {{"t", {"alpha", "beta"}}}, [](Settings &s) {
                   s.LimitLink = 5;
                   s.AutoCheck = 0; // the www. address is no loopback one: nothing may fetch it
               });

    // Off, as it starts: every hit a row, seven columns, no note, no rank sort.
    QVERIFY(!entry(stage, "mMerge")->isChecked());
    QVERIFY(!entry(stage, "mByRank")->isEnabled());
    stage.search(QStringLiteral("abc"));
    const QAbstractItemModel *rows = stage.form->LView->model();
    QCOMPARE(rows->rowCount(), 10);
    QCOMPARE(rows->columnCount(), 7);
    QCOMPARE(stage.form->statusText(), QStringLiteral("終了しました。検索結果のリンク数＝10"));

    // On: the listed hits fold into their pages, and checks and reports go by those rows.
    entry(stage, "mMerge")->trigger();
    QVERIFY(entry(stage, "mMerge")->isChecked());
    QVERIFY(entry(stage, "mByRank")->isEnabled());
    QCOMPARE(rows->rowCount(), 6);
    QCOMPARE(rows->columnCount(), 8);
    QCOMPARE(rows->headerData(7, Qt::Horizontal).toString(), QStringLiteral("サイト"));
    QCOMPARE(stage.session.run.HitCount, 6);
    QCOMPARE(stage.session.run.CheckLeft(), 6);
    QCOMPARE(stage.form->statusText(),
             QStringLiteral("検索結果のリンク数＝6（重複4件をまとめました）"));
    QStringList twice;
    for (int r = 0; r < rows->rowCount(); ++r) {
        if (rows->index(r, 7).data().toInt() != 2)
            continue;
        twice << MergeKey(rows->index(r, 1).data().toString());
        QCOMPARE(rows->index(r, 0).data().toString().section(u' ', 0, 1),
                 QStringLiteral("beta longer"));
        const QStringList tip = rows->index(r, 7).data(Qt::ToolTipRole).toString().split(u'\n');
        QCOMPARE(QSet<QString>(tip.begin(), tip.end()),
                 QSet<QString>({QStringLiteral("alpha"), QStringLiteral("beta")}));
    }
    twice.sort();
    QCOMPARE(twice,
             keysOf({QString::fromStdString(at("/doc/a")), QString::fromStdString(at("/doc/b")),
                     QString::fromStdString(at("/doc/c")), QString::fromStdString(at("/doc/d"))}));

    // The rank sort: found first by both sites, then second by both, and so on.
    entry(stage, "mByRank")->trigger();
    QCOMPARE(keysOf(stage.column(1)).mid(0, 4), twice);

    // A new search lists pages as they come, with the note at the end of the count.
    stage.search(QStringLiteral("abc"));
    QCOMPARE(rows->rowCount(), 6);
    QCOMPARE(stage.form->statusText(),
             QStringLiteral("終了しました。検索結果のリンク数＝6（重複4件をまとめました）"));

    // Deleting a merged row deletes the page: unfolded, none of its hits comes back.
    stage.form->LView->setCurrentIndex(rows->index(0, 0));
    stage.form->LView->selectionModel()->select(
        rows->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    stage.form->mDelLink->trigger();
    QCOMPARE(rows->rowCount(), 5);
    QCOMPARE(stage.session.run.HitCount, 5);
    stage.form->savePlace();
    QVERIFY(ReadWindowMemory().merging);

    // Off again: the list is as it was without merging, less the deleted page's two hits.
    entry(stage, "mMerge")->trigger();
    QVERIFY(!entry(stage, "mByRank")->isEnabled());
    QCOMPARE(rows->rowCount(), 8);
    QCOMPARE(rows->columnCount(), 7);
    QCOMPARE(stage.session.run.HitCount, 8);
    QVERIFY(!keysOf(stage.column(1)).contains(twice.first()));
    QCOMPARE(stage.form->statusText(), QStringLiteral("検索結果のリンク数＝8"));
    stage.form->savePlace();
    QVERIFY(!ReadWindowMemory().merging);
}

QTEST_MAIN(MergedListTest)
#include "mergedlist_test.moc"
