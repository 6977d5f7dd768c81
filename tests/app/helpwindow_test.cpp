// The help window over a small help index and pages in a sandbox: the tree the index builds,
// the page and title shown at opening and on a click, the icons and the layout.
#include "core/helptable.h"
#include "core/progdir.h"
#include "help/helpwindow.h"
#include "sandbox.h"
#include "sessionfixture.h"

#include <QStatusBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QWebEngineView>
#include <QtTest>

#include <memory>

namespace {

// Entries given as "icon outline title page", as the index file holds them.
HelpTable table(const QStringList &entries)
{
    HelpTable t;
    t.count = int32_t(entries.size());
    for (int i = 0; i < entries.size(); ++i) {
        const QStringList words = entries.at(i).split(QLatin1Char(' '));
        HelpEntry &e = t.entries[i];
        e.icon = words.value(0).toInt();
        const QStringList outline = words.value(1).split(QLatin1Char('.'));
        for (int k = 0; k < outline.size() && k < 5; ++k)
            e.levels[k] = outline.at(k).toInt();
        e.title = words.value(2, words.value(1));
        e.page = words.value(3);
    }
    return t;
}

// The tree as text: each node's title, its children in brackets.
QString shape(const HelpTable &t, const std::vector<helptree::Node> &nodes, int parent = -1)
{
    QStringList parts;
    for (size_t n = 0; n < nodes.size(); ++n) {
        if (nodes[n].parent != parent)
            continue;
        const QString children = shape(t, nodes, int(n));
        parts << t.entries[nodes[n].entry].title +
                     (children.isEmpty() ? QString()
                                         : QLatin1Char('(') + children + QLatin1Char(')'));
    }
    return parts.join(QLatin1Char(' '));
}

QString shape(const QStringList &entries)
{
    const HelpTable t = table(entries);
    return shape(t, helptree::Init_THelp(t));
}

QString treeText(QTreeWidgetItem *item)
{
    QStringList children;
    for (int c = 0; c < item->childCount(); ++c)
        children << treeText(item->child(c));
    return item->text(0) +
           (children.isEmpty()
                ? QString()
                : QLatin1Char('(') + children.join(QLatin1Char(' ')) + QLatin1Char(')'));
}

QString page(const char *title)
{
    return QStringLiteral("<html><head><meta charset=\"Shift_JIS\"><title>%1</title></head>"
                          "<body>%1</body></html>")
        .arg(QString::fromUtf8(title));
}

} // namespace

class HelpWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Session> session_ = sessionfixture::fresh();

    std::unique_ptr<testsupport::Sandbox> box;
    std::unique_ptr<Help> w;

    void writePage(const char *name, const char *title)
    {
        box->write(name, testsupport::encode(page(title).toStdString()));
    }

private Q_SLOTS:
    void init()
    {
        w.reset(); // a window goes before the session it shows
        session_ = sessionfixture::fresh();
        box = std::make_unique<testsupport::Sandbox>();
        setProgramDir(QString());
        box->write("idxhelp.dat", testsupport::encode("5\r\n"
                                                      "0 1 はじめに intro.htm\r\n"
                                                      "2 1.1 画面 screen.htm\r\n"
                                                      "2 1.2 検索 search.htm\r\n"
                                                      "1 2 設定 setting.htm\r\n"
                                                      "2 2.1 テーマ gone.htm\r\n"));
        writePage("intro.htm", "はじめにのページ");
        writePage("search.htm", "検索のページ");
        box->write(
            "screen.htm",
            testsupport::encode(page("画面のページ")
                                    .replace(QStringLiteral("</body>"),
                                             QStringLiteral("<a id=\"go\" href=\"search.htm#top\">"
                                                            "検索</a></body>"))
                                    .toStdString()));
        // Icon 0 has a picture of its own (plain red); icons 1 and 2 fall back to drawings.
        QImage red(16, 16, QImage::Format_ARGB32);
        red.fill(Qt::red);
        red.save(QString::fromStdString((box->path() / "help0.png").string()));
        LoadHelp(session_->help);
    }

    void cleanup()
    {
        w.reset();
        box.reset();
    }

    void opensWithTheTreeAndTheFirstPage()
    {
        w = std::make_unique<Help>(session_->help);
        w->show();
        QCOMPARE(w->windowTitle(), QStringLiteral(" Velmora ヘルプ"));
        QCOMPARE(session_->help.count, 5);
        QCOMPARE(w->THelp->topLevelItemCount(), 2);
        QCOMPARE(treeText(w->THelp->topLevelItem(0)), QStringLiteral("はじめに(画面 検索)"));
        QCOMPARE(treeText(w->THelp->topLevelItem(1)), QStringLiteral("設定(テーマ)"));
        QCOMPARE(w->statusText(), QStringLiteral("はじめに"));
        const QString dir = QString::fromStdString(box->path().string());
        QCOMPARE(w->shownUrl(), QUrl::fromLocalFile(dir + QStringLiteral("/intro.htm")));
        QTRY_COMPARE_WITH_TIMEOUT(w->WHelp->title(), QStringLiteral("はじめにのページ"), 20000);

        const QImage own = w->THelp->topLevelItem(0)->icon(0).pixmap(16, 16).toImage();
        QCOMPARE(own.pixelColor(8, 8), QColor(Qt::red));
        QVERIFY(!w->THelp->topLevelItem(1)->icon(0).isNull()); // drawn
        QVERIFY(w->CImage.size() == 1);
    }

    void aClickShowsTheNodesPageAndTitle()
    {
        w = std::make_unique<Help>(session_->help);
        w->show();
        w->THelp->expandAll();
        QTreeWidgetItem *search = w->THelp->topLevelItem(0)->child(1);
        QTest::mouseClick(w->THelp->viewport(), Qt::LeftButton, {},
                          w->THelp->visualItemRect(search).center());
        QCOMPARE(w->statusText(), QStringLiteral("検索"));
        QTRY_COMPARE_WITH_TIMEOUT(w->WHelp->title(), QStringLiteral("検索のページ"), 20000);

        // A missing page: the web view shows its error; the window goes on.
        QTreeWidgetItem *gone = w->THelp->topLevelItem(1)->child(0);
        QTest::mouseClick(w->THelp->viewport(), Qt::LeftButton, {},
                          w->THelp->visualItemRect(gone).center());
        QCOMPARE(w->statusText(), QStringLiteral("テーマ"));
        QVERIFY(w->shownUrl().toLocalFile().endsWith(QStringLiteral("/gone.htm")));
        QVERIFY(w->isVisible());
    }

    // The arrow keys open each entry's page; a link selects the entry of the page it led to;
    // back and forward (buttons and Alt+arrows) walk the pages shown, the tree following.
    void theTreeFollowsThePageShown()
    {
        w = std::make_unique<Help>(session_->help);
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        auto current = [this] {
            return w->THelp->currentItem() ? w->THelp->currentItem()->text(0) : QString();
        };
        QTRY_COMPARE_WITH_TIMEOUT(w->WHelp->title(), QStringLiteral("はじめにのページ"), 20000);
        QCOMPARE(current(), QStringLiteral("はじめに"));
        QVERIFY(!w->cmdBack->isEnabled());
        w->THelp->expandAll();
        w->THelp->setFocus();
        QTest::keyClick(w->THelp, Qt::Key_Down);
        QCOMPARE(w->statusText(), QStringLiteral("画面"));
        QTRY_COMPARE_WITH_TIMEOUT(w->WHelp->title(), QStringLiteral("画面のページ"), 20000);

        w->WHelp->page()->runJavaScript(QStringLiteral("document.getElementById('go').click()"));
        QTRY_COMPARE_WITH_TIMEOUT(current(), QStringLiteral("検索"), 20000);
        QCOMPARE(w->statusText(), QStringLiteral("検索"));
        QTRY_COMPARE_WITH_TIMEOUT(w->WHelp->title(), QStringLiteral("検索のページ"), 20000);

        QTRY_VERIFY(w->cmdBack->isEnabled());
        QTest::keyClick(w->THelp, Qt::Key_Left, Qt::AltModifier);
        QTRY_COMPARE_WITH_TIMEOUT(current(), QStringLiteral("画面"), 20000);
        QCOMPARE(w->statusText(), QStringLiteral("画面"));
        QTRY_VERIFY(w->cmdForward->isEnabled());
        QTest::mouseClick(w->cmdForward, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(current(), QStringLiteral("検索"), 20000);
        QCOMPARE(w->statusText(), QStringLiteral("検索"));
    }

    void layoutFollowsTheWindowSize()
    {
        w = std::make_unique<Help>(session_->help);
        w->show();
        const int bottom = w->height() - w->SHelp->y();
        const int treeWidth = w->THelp->width();
        w->resize(1000, 700);
        QCOMPARE(w->THelp->geometry(), QRect(0, 0, treeWidth, 700 - bottom));
        QCOMPARE(w->WHelp->geometry(), QRect(treeWidth, 0, 1000 - treeWidth, 700 - bottom));
        QCOMPARE(w->SHelp->geometry(), QRect(0, 700 - bottom, 1000, bottom));
    }

    void anEmptyIndexGivesAnEmptyTree()
    {
        std::filesystem::remove(box->path() / "idxhelp.dat");
        LoadHelp(session_->help);
        w = std::make_unique<Help>(session_->help);
        w->show();
        QCOMPARE(w->THelp->topLevelItemCount(), 0);
        QCOMPARE(w->statusText(), QString());
        QCOMPARE(w->shownUrl().toLocalFile(),
                 QString::fromStdString(box->path().string()) + QLatin1Char('/'));
    }

    void nestingRules()
    {
        QCOMPARE(shape({"0 1", "0 1.1", "0 1.2", "0 2", "0 2.1"}),
                 QStringLiteral("1(1.1 1.2) 2(2.1)"));
        // Chapters without sections, and sections numbered apart from their chapter.
        QCOMPARE(shape({"0 1", "0 1.1", "0 1.2", "0 2", "0 3", "0 3.1", "0 3.2", "0 4"}),
                 QStringLiteral("1(1.1 1.2) 2 3(3.1 3.2) 4"));
        // One section alone under its chapter: the next chapter stays a root of its own.
        QCOMPARE(shape({"0 1", "0 1.1", "0 2", "0 2.1", "0 3"}), QStringLiteral("1(1.1) 2(2.1) 3"));
        // A next-level number repeating the one before opens a deeper group under the last node.
        QCOMPARE(shape({"0 1", "0 1.2", "0 1.2", "0 1.3"}), QStringLiteral("1(1.2(1.2) 1.3)"));
        QCOMPARE(shape({}), QString());
        QCOMPARE(shape({"0 0", "0 0"}), QStringLiteral("0 0"));
    }
};

QTEST_MAIN(HelpWindowTest)
#include "helpwindow_test.moc"
