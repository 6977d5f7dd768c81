// Form1's result list and site tree as a user works them: columns and widths, keys and icons,
// sorting by header clicks, row clicks, the pop-up menu, browse mode with the site tree.
#include "core/hit.h"
#include "core/hitlistmodel.h"
#include "core/runrules.h"
#include "core/topicstore.h"
#include "mainwindow/commands.h"
#include "runfixture.h"
#include "topics/topicswindow.h"
#include "windowdriving.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QHelpEvent>
#include <QMenu>
#include <QToolTip>

using namespace runfixture;

namespace {

// One site whose page holds these hits (title, size) in this order.
void openHits(Stage &stage, const std::vector<std::pair<std::string, std::string>> &hits,
              const std::function<void(Settings &)> &adjust = {})
{
    std::string page = "<html><body><ol>\n";
    int n = 0;
    for (const auto &[title, size] : hits) {
        ++n;
        page += "<li><a href=\"" + stage.farm.url("/doc/" + std::to_string(n)) + "\">" + title +
                "</a><p>preview</p><span class=\"size\">" + size +
                "</span><span class=\"date\">2024/01/0" + std::to_string(n % 9 + 1) +
                "</span></li>\n";
    }
    page += "</ol></body></html>\n";
    stage.farm.serve("/list/search", testsupport::page(testsupport::encode(page)));
    stage.open({{"list", "日本語", "/list/search"}}, {{"t", {"list"}}}, adjust);
    stage.session.settings.LimitLink = static_cast<int32_t>(hits.size());
    stage.search(QStringLiteral("abc"));
    QCOMPARE(stage.session.run.HitCount, static_cast<int32_t>(hits.size()));
}

void clickHeader(Form1 *form, int column)
{
    QHeaderView *header = form->LView->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(column) + 4, header->height() / 2));
}

QPoint rowPoint(Form1 *form, int row)
{
    return form->LView->visualRect(form->LView->model()->index(row, 0)).center();
}

// Widths in sixteenths of their sum, rounded.
QList<int> proportions(QTreeView *list, int columns)
{
    int sum = 0;
    for (int c = 0; c < columns; ++c)
        sum += list->columnWidth(c);
    QList<int> parts;
    for (int c = 0; c < columns; ++c)
        parts << qRound(16.0 * list->columnWidth(c) / sum);
    return parts;
}

} // namespace

class Form1ListTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { msgbox::setAutoAnswer(true); }
    void charRefs();
    void columnsAndResize();
    void sortingFlipsOnEveryClick();
    void rowClicksAndPopupMenu();
    void topicRowOpensTheSiteRoot();
    void deleteWithoutSelection();
    void capturedTextIsDecoded();
    void browseModeTree();
    void cutOffCellsShowTheirText();
    void searchStatusSurvivesBrowseMode();
    void rowPicturesSayWhatTheyMean();
    void topicColumnsFillAWiderWindow();
};

void Form1ListTest::charRefs()
{
    QCOMPARE(DecodeCharRefs(QStringLiteral("A &amp; B &lt;b&gt; &quot;q&quot; &#12354;&#x3042;")),
             QStringLiteral("A & B <b> \"q\" ああ"));
    // Unknown, unterminated, invalid or far-reaching references stay as written.
    QCOMPARE(DecodeCharRefs(QStringLiteral("&bogus; & x &amp &#0; &#xD800; &#99999999;")),
             QStringLiteral("&bogus; & x &amp &#0; &#xD800; &#99999999;"));
    QCOMPARE(DecodeCharRefs(QStringLiteral("a=1&b=2;")), QStringLiteral("a=1&b=2;"));
    QCOMPARE(DecodeCharRefs(QStringLiteral("x?a=1&amp;b=2")), QStringLiteral("x?a=1&b=2"));
    QCOMPARE(DecodeCharRefs(QStringLiteral("&#128512;")), QString::fromUcs4(U"\U0001F600", 1));
}

// The result view's seven columns keep 4 : 2 : 6 : 1 : 1 : 1 : 1 through a resize; the
// topic view keeps its widths. Both use the list font size.
void Form1ListTest::columnsAndResize()
{
    Stage stage;
    openHits(stage, {{"one", "1KB"}, {"two", "2KB"}}, [](Settings &s) { s.FontSize = 14; });
    QTreeView *list = stage.form->LView;
    QCOMPARE(list->model()->columnCount(), 7);
    const QStringList headers = {"TITLE", "URL", "PREVIEW", "DATE", "SIZE", "SCORE", "SITE"};
    for (int c = 0; c < 7; ++c)
        QCOMPARE(list->model()->headerData(c, Qt::Horizontal).toString(), headers[c]);
    QCOMPARE(proportions(list, 7), QList<int>({4, 2, 6, 1, 1, 1, 1}));
    QCOMPARE(list->font().pointSize(), 14);
    const int before = list->columnWidth(0);
    stage.form->resize(stage.form->width() + 320, stage.form->height());
    QTRY_VERIFY(list->columnWidth(0) > before);
    QCOMPARE(proportions(list, 7), QList<int>({4, 2, 6, 1, 1, 1, 1}));

    // Topic view: four columns, W/3, W/12, W/12, W/2; a resize leaves them.
    msgbox::setNextAnswer(QMessageBox::Yes);
    RunCommand(*stage.form, 1);
    QCOMPARE(list->model()->columnCount(), 4);
    QCOMPARE(list->model()->headerData(3, Qt::Horizontal).toString(), QStringLiteral("キーワード"));
    QCOMPARE(proportions(list, 4), QList<int>({5, 1, 1, 8}));
    const int topicWidth = list->columnWidth(0);
    const int listWidth = list->width();
    stage.form->resize(stage.form->width() - 200, stage.form->height());
    QTRY_VERIFY(list->width() < listWidth);
    QCOMPARE(list->columnWidth(0), topicWidth);
}

// Every header click flips the order, whichever column; rows sort by their text; keys stay
// with their rows, so a later link state finds its row wherever it moved.
void Form1ListTest::sortingFlipsOnEveryClick()
{
    Stage stage;
    openHits(stage, {{"b", "2KB"}, {"c", "10KB"}, {"a", "3KB"}, {"d", "1KB"}});
    const int32_t indexOfC = stage.form->itemIndex(2);

    // Sizes sort by the number of bytes they name, not as text.
    clickHeader(stage.form.get(), 4);
    QCOMPARE(stage.column(4), QStringList({"10KB", "3KB", "2KB", "1KB"}));
    clickHeader(stage.form.get(), 4);
    QCOMPARE(stage.column(4), QStringList({"1KB", "2KB", "3KB", "10KB"}));
    clickHeader(stage.form.get(), 0);
    QCOMPARE(stage.column(0), QStringList({"d", "c", "b", "a"}));

    // A new search keeps the order: its rows go to their sorted places as they arrive.
    stage.search(QStringLiteral("abc"));
    QCOMPARE(stage.column(0), QStringList({"d", "c", "b", "a"}));
    QCOMPARE(stage.form->LView->header()->sortIndicatorSection(), 0);

    stage.form->Item_LinkCheck(indexOfC, 3);
    QCOMPARE(stage.image(1), 3);
    QCOMPARE(stage.form->itemIndex(2), indexOfC);
    // A number no row carries changes nothing.
    stage.form->Item_LinkCheck(500, 2);
    for (int row : {0, 2, 3})
        QCOMPARE(stage.image(row), 1);
}

// A left click opens the row's address; a right click shows the pop-up menu without opening
// anything; its entries copy, and delete the selected row.
void Form1ListTest::rowClicksAndPopupMenu()
{
    Stage stage;
    openHits(stage, {{"one", "1KB"}, {"two", "2KB"}, {"three", "3KB"}, {"four", "4KB"}});
    Form1 *form = stage.form.get();
    const QString url2 = stage.column(1).at(1);
    QTest::mouseClick(form->LView->viewport(), Qt::LeftButton, {}, rowPoint(form, 1));
    QCOMPARE(form->TargetURL, url2);
    QCOMPARE(form->statusText(), QStringLiteral("アクセス中： ") + url2);
    QVERIFY(form->PreviewShown);

    form->TargetURL.clear();
    QTest::mouseClick(form->LView->viewport(), Qt::RightButton, {}, rowPoint(form, 2));
    QVERIFY(form->mRClick->isVisible());
    QCOMPARE(form->TargetURL, QString());
    QCOMPARE(form->selectedPosition(), 3);
    // The archive's entry shows only for a dead link of a watch.
    const QList<QAction *> entries = form->mRClick->actions();
    QCOMPARE(std::count_if(entries.begin(), entries.end(),
                           [](const QAction *a) { return a->isVisible(); }),
             3);
    QCOMPARE(form->mCopyURL->text(), QStringLiteral("URLをコピー(&C)"));
    QCOMPARE(form->mBrowser->text(), QStringLiteral("ブラウザで開く(&O)"));
    QCOMPARE(form->mDelLink->text(), QStringLiteral("削除(&D)"));
    form->mCopyURL->trigger();
    form->mRClick->close();
    QCOMPARE(QApplication::clipboard()->text(), stage.column(1).at(2));
    QCOMPARE(form->statusText(), QStringLiteral("Copied URl of Item 3"));

    // Delete the third row: it leaves the list and the found order.
    const int32_t idx = form->itemIndex(3);
    form->mDelLink->trigger();
    QCOMPARE(form->listCount(), 3);
    QCOMPARE(stage.session.run.HitCount, 3);
    QCOMPARE(form->statusText(),
             QStringLiteral("j=") + QString::number(idx) + QStringLiteral(" n=2"));
    QCOMPARE(stage.column(0), QStringList({"one", "two", "four"}));
    for (int j = 0; j < stage.session.run.HitCount; ++j)
        QVERIFY(stage.session.run.HitOrder[j] != idx);
}

// A topic-view row shows the site's language in column 1, but opens and copies its root.
void Form1ListTest::topicRowOpensTheSiteRoot()
{
    Stage stage;
    stage.open({{"list", "日本語", "/list/search"}}, {{"t", {"list"}}});
    Form1 *form = stage.form.get();
    const QString root = QString::fromStdString(stage.farm.url("/list/"));
    QCOMPARE(stage.column(1), QStringList({QStringLiteral("日本語")}));
    QTest::mouseClick(form->LView->viewport(), Qt::LeftButton, {}, rowPoint(form, 0));
    QCOMPARE(form->TargetURL, root);
    form->mCopyURL->trigger();
    QCOMPARE(QApplication::clipboard()->text(), root);
}

void Form1ListTest::deleteWithoutSelection()
{
    Stage stage;
    openHits(stage, {{"one", "1KB"}, {"two", "2KB"}});
    stage.form->LView->clearSelection();
    msgbox::clearShown();
    stage.session.run.Do_DelOne(1);
    QCOMPARE(msgbox::shown().size(), qsizetype(1));
    QCOMPARE(msgbox::shown()[0].text, QStringLiteral("Do_DelOne error"));
    QCOMPARE(stage.form->listCount(), 2);
    // Positions outside the list are ignored without a word.
    stage.session.run.Do_DelOne(3);
    stage.session.run.Do_DelOne(0);
    QCOMPARE(msgbox::shown().size(), qsizetype(1));
}

// Character references of the page show decoded in the list.
void Form1ListTest::capturedTextIsDecoded()
{
    Stage stage;
    openHits(stage, {{"Tom &amp; Jerry &#12354;&#x3044; &lt;3", "1&nbsp;KB"}});
    QCOMPARE(stage.column(0).at(0), QStringLiteral("Tom & Jerry あい <3"));
    QCOMPARE(stage.column(4).at(0), QStringLiteral("1\u00a0KB"));
}

// Browse mode: the search face hides, the tree lists every site under its language root and
// under each topic that holds it; node numbers 1, 2 and 3 + t; trimmed names; entering
// browse mode again rebuilds the tree.
void Form1ListTest::browseModeTree()
{
    Stage stage;
    for (const char *name : {"ja", "en", "both"})
        stage.farm.serve(std::string("/") + name + "/search", testsupport::page(""));
    stage.open({{"ja", "日本語", "/ja/search"},
                {"en", "英語", "/en/search"},
                {"both", "日本語(古典)", "/both/search", "AND OR", false, 10, "both site  \t"}},
               {{"one  ", {"ja", "both"}}, {"two", {"both", "en"}}});
    Form1 *form = stage.form.get();
    RunCommand(*stage.form, 26);
    QVERIFY(form->BrowseMode);
    for (QWidget *w : {static_cast<QWidget *>(form->Word), static_cast<QWidget *>(form->LView),
                       static_cast<QWidget *>(form->Search), static_cast<QWidget *>(form->TMethod)})
        QVERIFY(!w->isVisible());
    for (QWidget *w : {static_cast<QWidget *>(form->TView), static_cast<QWidget *>(form->URL),
                       static_cast<QWidget *>(form->ADR)})
        QVERIFY(w->isVisible());
    QCOMPARE(form->ADR->text(), QStringLiteral("閲覧対象"));
    QCOMPARE(form->TargetURL, stage.session.settings.HomeURL);

    auto check = [&] {
        QTreeWidget *tree = form->TView;
        QCOMPARE(tree->topLevelItemCount(), 4);
        QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("日本のサイト"));
        QCOMPARE(tree->topLevelItem(1)->text(0), QStringLiteral("世界のサイト"));
        QCOMPARE(tree->topLevelItem(2)->text(0), QStringLiteral("one"));
        QCOMPARE(tree->topLevelItem(3)->text(0), QStringLiteral("two"));
        QCOMPARE(tree->topLevelItem(0)->childCount(), 2);
        QCOMPARE(tree->topLevelItem(0)->child(1)->text(0), QStringLiteral("both site"));
        QCOMPARE(tree->topLevelItem(1)->childCount(), 1);
        QCOMPARE(tree->topLevelItem(1)->child(0)->text(0), QStringLiteral("en"));
        // Members in site order, whatever the topic's order.
        QCOMPARE(tree->topLevelItem(3)->child(0)->text(0), QStringLiteral("en"));
        QCOMPARE(tree->topLevelItem(3)->child(1)->text(0), QStringLiteral("both site"));
        QCOMPARE(tree->findItems(QStringLiteral("both site"), Qt::MatchExactly | Qt::MatchRecursive)
                     .size(),
                 3);
    };
    check();
    RunCommand(*stage.form, 26);
    QVERIFY(!form->BrowseMode);
    QVERIFY(form->LView->isVisible());
    QVERIFY(!form->TView->isVisible());
    RunCommand(*stage.form, 26);
    check();

    // A site node opens its root; a root or topic node only shows its text.
    QTreeWidgetItem *site = form->TView->topLevelItem(1)->child(0);
    form->TView->expandItem(form->TView->topLevelItem(1));
    QTest::mouseClick(form->TView->viewport(), Qt::LeftButton, {},
                      form->TView->visualItemRect(site).center());
    const QString root = QString::fromStdString(stage.farm.url("/en/"));
    QCOMPARE(form->TargetURL, root);
    QCOMPARE(form->statusText(), QStringLiteral("アクセス中： ") + root);
    QTreeWidgetItem *topic = form->TView->topLevelItem(2);
    QTest::mouseClick(form->TView->viewport(), Qt::LeftButton, {},
                      form->TView->visualItemRect(topic).center());
    QCOMPARE(form->statusText(), QStringLiteral("one"));
    QCOMPARE(form->TargetURL, root);

    // The Topics window opened from browse mode: the tree shows the topics as it leaves them.
    QTimer deleter;
    QObject::connect(&deleter, &QTimer::timeout, [&] {
        if (auto *topics = qobject_cast<Topics *>(QApplication::activeModalWidget())) {
            deleter.stop();
            QTest::mouseClick(topics->DelTopic, Qt::LeftButton);
            QTest::mouseClick(topics->OKTopic, Qt::LeftButton);
        }
    });
    deleter.start(10);
    RunCommand(*stage.form, 19);
    QVERIFY(form->BrowseMode);
    QCOMPARE(stage.session.topics.count, 1);
    QCOMPARE(form->TView->topLevelItemCount(), 3);
    QCOMPARE(form->TView->topLevelItem(2)->text(0), QStringLiteral("two"));
}

// A cell too narrow for its text shows the whole text as its tool tip, as written even when
// the page's title looks like markup; one that fits shows none.
void Form1ListTest::cutOffCellsShowTheirText()
{
    Stage stage;
    const std::string longTitle = "&lt;img src=&quot;/nowhere/picture.png&quot;&gt;&lt;b&gt;"
                                  "とても長い題名の文書 " +
                                  std::string(120, 'x');
    const QString shown =
        QStringLiteral("<img src=\"/nowhere/picture.png\"><b>とても長い題名の文書 ") +
        QString(120, u'x');
    openHits(stage, {{longTitle, "1KB"}});
    QTreeView *list = stage.form->LView;
    const QModelIndex row = list->model()->index(0, 0);
    auto tipAt = [list, row](int column) {
        QToolTip::hideText();
        if (!QTest::qWaitFor([] { return !QToolTip::isVisible(); }))
            return QStringLiteral("(a tool tip stayed)");
        const QRect cell = list->visualRect(row);
        // In the first column, past the row's picture, which has a tip of its own.
        const int into = column == 0 ? list->iconSize().width() + 24 : 8;
        const QPoint at(list->header()->sectionViewportPosition(column) + into, cell.center().y());
        QHelpEvent event(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list->viewport(), &event);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    QCOMPARE(row.data().toString(), shown);
    QCOMPARE(TipShownAs(tipAt(0)), shown);
    QCOMPARE(tipAt(4), QString()); // "1KB" fits
}

// The browse pane's addresses stay in browse mode: back on the search face, the status line
// says again what it said before.
void Form1ListTest::searchStatusSurvivesBrowseMode()
{
    Stage stage;
    openHits(stage, {{"one", "1KB"}});
    const QString afterSearch = stage.form->statusText();
    QVERIFY(!afterSearch.isEmpty());
    RunCommand(*stage.form, 26);
    QVERIFY(stage.form->statusText().startsWith(QStringLiteral("アクセス中： ")));
    RunCommand(*stage.form, 26);
    QCOMPARE(stage.form->statusText(), afterSearch);
}

// The picture at the head of a row tells, as its tool tip, what the row's link state (or a
// topic row's site picture) means; the rest of the cell keeps the cut-off tip.
void Form1ListTest::rowPicturesSayWhatTheyMean()
{
    Stage stage;
    openHits(stage, {{"one", "1KB"}});
    QTreeView *list = stage.form->LView;
    auto tipAt = [list](int x) {
        QToolTip::hideText();
        if (!QTest::qWaitFor([] { return !QToolTip::isVisible(); }))
            return QStringLiteral("(a tool tip stayed)");
        const QPoint at(x, list->visualRect(list->model()->index(0, 0)).center().y());
        QHelpEvent event(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list->viewport(), &event);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    const int picture = list->header()->sectionViewportPosition(0) + 8;
    const int32_t hit = list->model()->index(0, 0).data(HitListModel::ResultIndexRole).toInt();
    for (int32_t state :
         {kLinkNoCheck, kLinkOk, kLinkNotFound, kLinkOther, kLinkNotConnect, kLinkForbidden}) {
        stage.form->Item_LinkCheck(hit, state);
        const QString tip = TipShownAs(tipAt(picture));
        QVERIFY2(tip.startsWith(LinkStateText(state) + QStringLiteral("：")), qPrintable(tip));
    }
    QCOMPARE(tipAt(list->header()->sectionViewportPosition(0) + list->iconSize().width() + 24),
             QString()); // "one" fits
    // The topic view's rows: the site picture.
    stage.form->LView_Current();
    QCOMPARE(TipShownAs(tipAt(picture)), QStringLiteral("検索テーマのサイトです。"));
}

// The topic's sites span the list however wide the window is made; the result view goes back
// to columns of their own widths.
void Form1ListTest::topicColumnsFillAWiderWindow()
{
    Stage stage;
    openHits(stage, {{"one", "1KB"}});
    Form1 *form = stage.form.get();
    QTreeView *list = form->LView;
    form->LView_Current();
    form->show();
    const auto spanned = [list] {
        int sum = 0;
        for (int c = 0; c < list->model()->columnCount(); ++c)
            sum += list->columnWidth(c);
        return sum;
    };
    form->resize(form->width() + 400, form->height());
    QTRY_COMPARE(spanned(), list->viewport()->width());
    form->Init_LVResult();
    QVERIFY(!list->header()->stretchLastSection());
}

QTEST_MAIN(Form1ListTest)
#include "form1_list_test.moc"
