// The main window's menu bar and toolbar as the user meets them: names, captions with their
// accelerators, order, separators, tool tips, pictures, and clicks reaching their commands.
#include "mainwindow/commands.h"
#include "mainwindow/menus.h"
#include "runfixture.h"

#include <QHelpEvent>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>

using namespace runfixture;

namespace {

// "name=caption" per entry, "-" per separator.
QStringList entriesOf(const QMenu *menu)
{
    QStringList out;
    for (const QAction *a : menu->actions())
        out << (a->isSeparator() ? QStringLiteral("-") : a->objectName() + '=' + a->text());
    return out;
}

void openStage(Stage &stage)
{
    testsupport::SearchSite site;
    site.delay = std::chrono::milliseconds(200); // long enough to act during a search
    stage.farm.serveSearch("/a/search", site);
    stage.open({{"a", "日本語", "/a/search"}}, {{"t", {"a"}}},
               [&](Settings &s) { s.HomeURL = QString::fromStdString(stage.farm.url("/a/")); });
}

// The tool tip the button shows when the mouse rests on it; empty when none shows.
QString tipShown(QToolBar *tool, QAction *action)
{
    QWidget *button = tool->widgetForAction(action);
    QToolTip::hideText(); // hides after a short delay
    if (!QTest::qWaitFor([] { return !QToolTip::isVisible(); }))
        return QStringLiteral("(an earlier tip stays)");
    QHelpEvent event(QEvent::ToolTip, QPoint(4, 4), button->mapToGlobal(QPoint(4, 4)));
    QApplication::sendEvent(button, &event);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

} // namespace

class MenusTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { msgbox::setAutoAnswer(true); }
    void menuBar();
    void toolbar();
    void exchangeCaptionFollowsTheMode();
    void clicksReachTheirCommands();
    void unknownKeyDoesNothing();
    void picturesWithoutATheme();
};

void MenusTest::menuBar()
{
    Stage stage;
    openStage(stage);
    const QList<QAction *> menus = stage.form->menuBar()->actions();
    QStringList titles;
    for (const QAction *a : menus)
        titles << a->menu()->objectName() + '=' + a->text();
    QCOMPARE(titles, QStringList({"mFile=ファイル(&F)", "mEdit=設定(&S)", "mView=表示(&V)",
                                  "mRun=実行(&R)", "mHelp=ヘルプ(&H)"}));
    QCOMPARE(entriesOf(menus[0]->menu()),
             QStringList({"mSave=HTMLファイルで保存(&S)", "mOpen=ブラウザで見る(&B)", "-",
                          "mExit=終了(&X)"}));
    QCOMPARE(entriesOf(menus[1]->menu()),
             QStringList({"mSettopics=検索テーマ(&T)", "mSetsearch=環境設定(&P)"}));
    QCOMPARE(
        entriesOf(menus[2]->menu()),
        QStringList({"mSearching=検索中モニタ(&S)", "mChecking=確認中モニタ(&C)",
                     "mHideWeb2=Velmoraブラウザを閉じる(&G)", "-", "mMerge=重複をまとめる(&M)",
                     "mByRank=おすすめ順(&O)", "mNewOnly=新着のみ(&N)", "-", "mHistory=履歴(&Y)",
                     "mClearHistory=履歴を消去(&E)", "-", "mAddress=閲覧対象へ移動(&L)"}));
    QCOMPARE(entriesOf(menus[3]->menu()),
             QStringList({"mSearch=検索(&S)", "mCheck=リンク確認(&C)", "mDelete=リンク切れ削除(&D)",
                          "-", "mWatch=この検索を監視(&W)", "mWatchTimer=定期的に確認…(&T)",
                          "mUnwatch=監視をやめる…(&U)", "-", "mAbort=中止(&A)"}));
    QCOMPARE(entriesOf(menus[4]->menu()),
             QStringList({"mOpenHelp=オンラインヘルプ(&H)", "mSupport=Halvaneサポートへ(&S)",
                          "mToHalvane=Halvaneへ送信(&M)", "-", "mNews=最新版ニュース(&N)",
                          "mUpdate=最新版ダウンロード(&U)", "-", "mProduct=製品情報(&P)"}));
    // Nothing is ever greyed out, whatever the state; only the entries that need the maker's
    // server are, while no host is set (commands_test covers those), and the rank sort while
    // nothing is merged.
    const QStringList needMaker{"mSupport", "mNews", "mUpdate", "mByRank"};
    stage.session.run.RunState = kRunSearch;
    for (const QAction *menu : menus)
        for (const QAction *a : menu->menu()->actions())
            QVERIFY2(a->isEnabled() || needMaker.contains(a->objectName()),
                     qPrintable(a->objectName()));
    stage.session.run.RunState = kRunIdle;
}

void MenusTest::toolbar()
{
    Stage stage;
    openStage(stage);
    QToolBar *tool = stage.form->Tool;
    QVERIFY(tool);
    QCOMPARE(tool->objectName(), QStringLiteral("Tool"));
    QCOMPARE(stage.form->findChild<QToolBar *>(QStringLiteral("Tool")), tool);
    QCOMPARE(tool->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    QStringList buttons;
    for (QAction *a : tool->actions()) {
        QVERIFY(!a->icon().isNull());
        QVERIFY(a->isEnabled());
        buttons << a->objectName() + '=' + a->text() + '|' + tipShown(tool, a);
    }
    // Start-up has switched to search mode, so "exchange" reads "閲覧へ".
    QCOMPARE(
        buttons,
        QStringList({"backward=戻る|", "foreward=進む|", "home=ホーム|ホームアドレスへ戻る",
                     "search=検索|", "stop=中止|", "topics=検索テーマ|検索テーマの設定",
                     "setting=環境設定|環境設定", "check=リンク確認|リンク確認、リンク切れ削除など",
                     "save=保存|検索結果をディスクへ保存",
                     "exchange=閲覧へ|検索モードと閲覧モードとの切替"}));
}

// "画面切替" shows only until the first mode switch, which start-up makes.
void MenusTest::exchangeCaptionFollowsTheMode()
{
    Stage stage;
    Form1 bare(stage.session);
    auto *exchange = bare.findChild<QAction *>(QStringLiteral("exchange"));
    QVERIFY(exchange);
    QCOMPARE(exchange->text(), QStringLiteral("画面切替"));

    openStage(stage);
    exchange = stage.form->Tool->findChild<QAction *>(QStringLiteral("exchange"));
    QCOMPARE(exchange->text(), QStringLiteral("閲覧へ"));
    QTest::mouseClick(stage.form->Tool->widgetForAction(exchange), Qt::LeftButton);
    QVERIFY(stage.form->BrowseMode);
    QCOMPARE(exchange->text(), QStringLiteral("検索へ"));
    QTest::mouseClick(stage.form->Tool->widgetForAction(exchange), Qt::LeftButton);
    QVERIFY(!stage.form->BrowseMode);
    QCOMPARE(exchange->text(), QStringLiteral("閲覧へ"));
}

// A click on a button or a menu entry runs its command, guards included.
void MenusTest::clicksReachTheirCommands()
{
    Stage stage;
    openStage(stage);
    QToolBar *tool = stage.form->Tool;
    auto button = [&](const char *key) {
        return tool->widgetForAction(tool->findChild<QAction *>(QLatin1String(key)));
    };
    auto entry = [&](const char *name) {
        return stage.form->menuBar()->findChild<QAction *>(QLatin1String(name));
    };

    // The toolbar's search starts a search; the menu's "検索" too.
    stage.form->Word->setText(QStringLiteral("abc"));
    QTest::mouseClick(button("search"), Qt::LeftButton);
    QVERIFY(stage.settle());
    QCOMPARE(stage.farm.requests("/a/search").size(), size_t(1));
    QCOMPARE(stage.session.run.HitCount, 10);
    entry("mSearch")->trigger();
    QVERIFY(stage.settle());
    QCOMPARE(stage.farm.requests("/a/search").size(), size_t(2));

    // While a search runs they do nothing, but the Search push button stops it.
    bool refused = false;
    Stage::when([&stage] { return stage.session.run.RunState == kRunSearch; },
                [&] {
                    QTest::mouseClick(button("search"), Qt::LeftButton);
                    entry("mSearch")->trigger();
                    refused =
                        stage.session.run.RunState == kRunSearch && stage.session.run.StopFlag == 0;
                    QTest::mouseClick(stage.form->Search, Qt::LeftButton);
                });
    stage.search(QStringLiteral("abc"));
    QVERIFY(refused);
    QCOMPARE(stage.session.run.StopFlag, 1);

    // Preview pane: the View menu's entry hides it.
    RunCommand(*stage.form, 11);
    QVERIFY(stage.form->PreviewShown);
    entry("mHideWeb2")->trigger();
    QVERIFY(!stage.form->PreviewShown);

    // Home in browse mode opens the home address.
    QTest::mouseClick(button("exchange"), Qt::LeftButton);
    stage.form->TargetURL.clear();
    QTest::mouseClick(button("home"), Qt::LeftButton);
    QCOMPARE(stage.form->TargetURL, stage.session.settings.HomeURL);
}

void MenusTest::unknownKeyDoesNothing()
{
    Stage stage;
    openStage(stage);
    QCOMPARE(menus::ToolCommand(QStringLiteral("exchange")), 26);
    QCOMPARE(menus::ToolCommand(QStringLiteral("Exchange")), 0);
    QCOMPARE(menus::ToolCommand(QString()), 0);
    // A button whose key is no known key: its click changes nothing.
    QAction *exchange = stage.form->Tool->findChild<QAction *>(QStringLiteral("exchange"));
    exchange->setObjectName(QStringLiteral("swap"));
    QTest::mouseClick(stage.form->Tool->widgetForAction(exchange), Qt::LeftButton);
    QVERIFY(!stage.form->BrowseMode);
    menus::Tool_ButtonClick(*stage.form, QStringLiteral("forward"));
    menus::Tool_ButtonClick(*stage.form, QStringLiteral("help"));
    QVERIFY(!stage.form->BrowseMode);
    QCOMPARE(stage.farm.requestCount(), size_t(0));
}

// Without an icon theme every button still has a picture of its own.
void MenusTest::picturesWithoutATheme()
{
    const QString theme = QIcon::themeName();
    QIcon::setThemeName(QStringLiteral("velmora-no-such-theme"));
    QList<QImage> images;
    for (const menus::Button &b : menus::ToolTable()) {
        const QImage image = menus::ToolImage(QLatin1String(b.key)).pixmap(24, 24).toImage();
        QVERIFY2(!image.isNull(), b.key);
        int painted = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                painted += qAlpha(image.pixel(x, y)) > 0;
        QVERIFY2(painted > 40, b.key);
        QVERIFY2(!images.contains(image), b.key);
        images << image;
    }
    QVERIFY(menus::ToolImage(QStringLiteral("swap")).isNull());
    QIcon::setThemeName(theme);
}

QTEST_MAIN(MenusTest)
#include "menus_test.moc"
