// Form1's search face as a user meets it: start-up, the method list, the keyword box, the
// topic change and its question, the elapsed-time line, the status bar and the animation.
#include "common/viewtips.h"
#include "mainwindow/commands.h"
#include "runfixture.h"
#include "topics/topicswindow.h"
#include "update/download.h"
#include "windowdriving.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QMovie>
#include <QStatusBar>
#include <QWebEngineHistory>
#include <QWebEngineView>

using namespace runfixture;

namespace {

testsupport::SearchSite generated(int total)
{
    testsupport::SearchSite site;
    site.totalHits = total;
    return site;
}

// Two topics: "first" with sites a and b, "second" with site c.
void openTwoTopics(Stage &stage, const std::function<void(Settings &)> &adjust = {})
{
    for (const char *name : {"a", "b", "c"})
        stage.farm.serveSearch(std::string("/") + name + "/search", generated(30));
    stage.farm.serve("/hang/search",
                     testsupport::page("").withFault(testsupport::Fault::StallBeforeHeaders));
    stage.open({{"a", "日本語", "/a/search"},
                {"b", "日本語", "/b/search"},
                {"c", "英語", "/c/search"},
                {"hang", "日本語", "/hang/search"}},
               {{"first", {"a", "b"}}, {"second", {"c"}}, {"stalled", {"a", "hang"}}}, adjust);
}

// Opens the Topics window the way the user does (command 19) and runs fn inside it; a window
// fn leaves open is closed after ten seconds, so a broken one fails instead of hanging.
void closeTopicsWith(Stage &stage, const std::function<void(Topics *)> &fn)
{
    auto topics = [] { return qobject_cast<Topics *>(QApplication::activeModalWidget()); };
    Stage::when([topics] { return topics() != nullptr; }, [topics, fn] { fn(topics()); });
    QTimer::singleShot(10000, [topics] {
        if (Topics *t = topics())
            t->hide();
    });
    RunCommand(*stage.form, 19);
}

void tickSite(Topics *t, int32_t site)
{
    for (int i = 1; i <= t->LVSite->topLevelItemCount(); ++i) {
        if (t->index2j(i) == site)
            driving::clickCheck(t->LVSite, t->row(i));
    }
}

} // namespace

class Form1SearchTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { msgbox::setAutoAnswer(true); }
    void startsWithAllWords();
    void keywordBoxSelectsAllOnFocus();
    void keysFollowTheSearchSteps();
    void topicChangeAsksWhenResultsListed();
    void topicChangeDuringRunStopsItFirst();
    void topicChangeWhileHitsArriveKeepsTheNewList();
    void closingTopicsKeepsResultsUnlessSitesChanged();
    void enterKeepsTheResults();
    void emptyTopicStore();
    void elapsedTimeLine();
    void statusBarClickCopies();
    void outsideTextShowsAsWritten();
    void animationRunsDuringSearch();
};

// A stored search mode of 1 doesn't survive start-up; the user's choice is what queries use.
void Form1SearchTest::startsWithAllWords()
{
    Stage stage;
    openTwoTopics(stage, [](Settings &s) { s.SearchMode = 1; });
    QCOMPARE(stage.form->windowTitle(), QStringLiteral("Velmora"));
    QCOMPARE(stage.form->TMethod->count(), 2);
    QCOMPARE(stage.form->TMethod->itemText(0), QStringLiteral("すべての語を含む"));
    QCOMPARE(stage.form->TMethod->itemText(1), QStringLiteral("いずれかの語を含む"));
    QCOMPARE(stage.form->TMethod->currentIndex(), 0);
    QCOMPARE(stage.session.settings.SearchMode, 0);
    QCOMPARE(stage.form->LTopic->text(), QStringLiteral("検索テーマ"));
    QCOMPARE(stage.form->LWord->text(), QStringLiteral("キーワード"));
    QCOMPARE(stage.form->LMethod->text(), QStringLiteral("検索方式"));
    QCOMPARE(stage.form->Search->text(), QStringLiteral("検索開始"));

    stage.search(QStringLiteral("x y"));
    QCOMPARE(QString::fromStdString(stage.farm.requests("/a/search").at(0).param("m")), QString());

    // The user picks "any word": the OR list is used from then on.
    stage.form->TMethod->setFocus();
    QTest::keyClick(stage.form->TMethod, Qt::Key_Down);
    QCOMPARE(stage.session.settings.SearchMode, 1);
    stage.farm.clearLog();
    stage.search(QStringLiteral("x y"));
    QCOMPARE(QString::fromStdString(stage.farm.requests("/a/search").at(0).param("m")),
             QStringLiteral("or"));
}

void Form1SearchTest::keywordBoxSelectsAllOnFocus()
{
    Stage stage;
    openTwoTopics(stage);
    stage.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(stage.form.get()));
    QTest::keyClicks(stage.form->Word, QStringLiteral("fuji tozan"));
    stage.form->Word->setCursorPosition(2);
    stage.form->TMethod->setFocus();
    QTest::mouseClick(stage.form->Word, Qt::LeftButton, {}, QPoint(5, 5));
    QTRY_COMPARE(stage.form->Word->selectedText(), QStringLiteral("fuji tozan"));
}

// The window opens ready for typing, and Tab walks words, mode, go, topic, hits.
void Form1SearchTest::keysFollowTheSearchSteps()
{
    Stage stage;
    openTwoTopics(stage);
    stage.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(stage.form.get()));
    QTRY_COMPARE(QApplication::focusWidget(), stage.form->Word);
    const QList<QWidget *> steps = {stage.form->TMethod, stage.form->Search, stage.form->Topic,
                                    stage.form->LView};
    for (QWidget *next : steps) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTRY_COMPARE(QApplication::focusWidget(), next);
    }
}

// With results listed the user is asked; No keeps everything, Yes shows the new topic's sites.
// Without results nothing is asked.
void Form1SearchTest::topicChangeAsksWhenResultsListed()
{
    Stage stage;
    openTwoTopics(stage);
    QCOMPARE(stage.form->Topic->count(), 3);
    QCOMPARE(stage.form->Topic->currentIndex(), 0);
    QCOMPARE(stage.column(0), QStringList({"a", "b"}));

    // No results yet: no question.
    stage.form->Topic->setFocus();
    QTest::keyClick(stage.form->Topic, Qt::Key_Down);
    QCOMPARE(msgbox::shown().size(), qsizetype(0));
    QCOMPARE(stage.session.settings.iTopic, 1);
    QCOMPARE(stage.column(0), QStringList({"c"}));
    QTest::keyClick(stage.form->Topic, Qt::Key_Up);
    QCOMPARE(stage.column(0), QStringList({"a", "b"}));

    stage.search(QStringLiteral("abc"));
    QCOMPARE(stage.session.run.HitCount, 20);

    msgbox::setNextAnswer(QMessageBox::No);
    QTest::keyClick(stage.form->Topic, Qt::Key_Down);
    QCOMPARE(msgbox::shown().size(), qsizetype(1));
    QCOMPARE(msgbox::shown()[0].title, QStringLiteral("検索テーマを変える前に"));
    QCOMPARE(msgbox::shown()[0].text,
             QStringLiteral("検索テーマを変えたら今の検索結果を放棄します。継続しますか？"));
    QCOMPARE(msgbox::shown()[0].buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(stage.form->Topic->currentIndex(), 0);
    QCOMPARE(stage.session.settings.iTopic, 0);
    QCOMPARE(stage.form->listCount(), 20);
    QVERIFY(stage.form->resultView());

    msgbox::setNextAnswer(QMessageBox::Yes);
    QTest::keyClick(stage.form->Topic, Qt::Key_Down);
    QCOMPARE(msgbox::shown().size(), qsizetype(2));
    QCOMPARE(stage.session.settings.iTopic, 1);
    QCOMPARE(stage.session.run.HitCount, 0);
    QVERIFY(!stage.form->resultView());
    QCOMPARE(stage.column(0), QStringList({"c"}));
    QCOMPARE(stage.column(1), QStringList({"英語"}));
    QCOMPARE(stage.image(0), 5);
}

// A topic change agreed during a run ends the run first, so no hit of the old topic lands in
// the new topic's list.
void Form1SearchTest::topicChangeDuringRunStopsItFirst()
{
    Stage stage;
    openTwoTopics(stage);
    stage.form->Topic->setCurrentIndex(2);
    RunCommand(*stage.form, 1);
    stage.session.settings.LimitTime = 0;
    Stage::when([&stage] { return stage.session.run.HitCount == 10; },
                [&] {
                    msgbox::setNextAnswer(QMessageBox::Yes);
                    stage.form->Topic->setCurrentIndex(0);
                    RunCommand(*stage.form, 1);
                });
    stage.search(QStringLiteral("abc"));
    QCOMPARE(stage.session.run.RunState, kRunIdle);
    QCOMPARE(stage.form->statusText(), QStringLiteral("中止しました。検索結果のリンク数＝0"));
    QCOMPARE(stage.column(0), QStringList({"a", "b"}));
    QVERIFY(!stage.form->resultView());
    QVERIFY(testsupport::waitFor([&] { return stage.farm.openConnections() == 0; }));
}

// The change agreed to while a page's hits are still being listed: the rest of that page
// goes into no list, and the new topic's sites stay alone in it.
void Form1SearchTest::topicChangeWhileHitsArriveKeepsTheNewList()
{
    Stage stage;
    openTwoTopics(stage);
    stage.form->Topic->setCurrentIndex(2);
    RunCommand(*stage.form, 1);
    stage.session.settings.LimitTime = 0;
    // The choice is handled by the event pass after the third hit of the first page.
    const QMetaObject::Connection third =
        QObject::connect(&stage.form->hits(), &QAbstractItemModel::rowsInserted, [&] {
            if (stage.form->listCount() != 3 || !stage.form->resultView())
                return;
            QTimer::singleShot(0, [&] {
                msgbox::setNextAnswer(QMessageBox::Yes);
                stage.form->Topic->setCurrentIndex(0);
                RunCommand(*stage.form, 1);
            });
        });
    stage.search(QStringLiteral("abc"));
    QObject::disconnect(third);
    QCOMPARE(stage.session.run.RunState, kRunIdle);
    QCOMPARE(stage.session.run.HitCount, 0);
    QCOMPARE(stage.form->statusText(), QStringLiteral("中止しました。検索結果のリンク数＝0"));
    QCOMPARE(stage.column(0), QStringList({"a", "b"}));
    QVERIFY(!stage.form->resultView());
    QVERIFY(testsupport::waitFor([&] { return stage.farm.openConnections() == 0; }));
}

// Closing the Topics window gives the results up only when the current topic's sites changed,
// and only after a question whose default is No; giving them up clears the status line and
// the preview with them.
void Form1SearchTest::closingTopicsKeepsResultsUnlessSitesChanged()
{
    Stage stage;
    openTwoTopics(stage);
    stage.search(QStringLiteral("abc"));
    QCOMPARE(stage.session.run.HitCount, 20);
    stage.form->TargetURL = QString::fromStdString(stage.farm.url("/a/"));
    RunCommand(*stage.form, 24);
    QVERIFY(stage.form->PreviewShown);
    QTRY_VERIFY_WITH_TIMEOUT(stage.form->statusText().startsWith(QStringLiteral("表示中")), 20000);
    const QString previewLine = stage.form->statusText();

    // Nothing changed, closed with Esc; then a new topic, closed with "閉じる".
    closeTopicsWith(stage, [](Topics *t) { QTest::keyClick(t, Qt::Key_Escape); });
    closeTopicsWith(stage, [](Topics *t) {
        t->AddNewTopic(QStringLiteral("fourth"));
        t->TopicList->setCurrentIndex(0);
        QTest::mouseClick(t->OKTopic, Qt::LeftButton);
    });
    QCOMPARE(msgbox::shown().size(), qsizetype(0));
    QCOMPARE(stage.form->Topic->count(), 4);
    QCOMPARE(stage.form->Topic->currentIndex(), 0);
    QCOMPARE(stage.form->listCount(), 20);
    QCOMPARE(stage.session.run.HitCount, 20);
    QCOMPARE(stage.form->statusText(), previewLine);
    QVERIFY(stage.form->PreviewShown);

    // The current topic loses site b: saved, then the question, No by default. No keeps all.
    closeTopicsWith(stage, [](Topics *t) {
        tickSite(t, 1);
        msgbox::setNextAnswer(QMessageBox::Yes);
        msgbox::setNextAnswer(QMessageBox::No);
        QTest::mouseClick(t->OKTopic, Qt::LeftButton);
    });
    QCOMPARE(msgbox::shown().size(), qsizetype(2));
    QCOMPARE(msgbox::shown()[1].title, QStringLiteral("検索テーマを変える前に"));
    QCOMPARE(stage.form->listCount(), 20);
    QVERIFY(stage.form->PreviewShown);

    // b back in, and Yes: the topic's sites, no status line, no preview (nor its page).
    closeTopicsWith(stage, [](Topics *t) {
        tickSite(t, 1);
        msgbox::setNextAnswer(QMessageBox::Yes);
        msgbox::setNextAnswer(QMessageBox::Yes);
        QTest::mouseClick(t->OKTopic, Qt::LeftButton);
    });
    QCOMPARE(msgbox::shown().size(), qsizetype(4));
    QCOMPARE(stage.column(0), QStringList({"a", "b"}));
    QCOMPARE(stage.session.run.HitCount, 0);
    QCOMPARE(stage.form->statusText(), QString());
    QVERIFY(!stage.form->PreviewShown);
    QVERIFY(!stage.form->Web2->isVisible());
    QTRY_COMPARE(stage.form->Web2->url(), QUrl(QStringLiteral("about:blank")));
    QVERIFY(!stage.form->Web2->history()->canGoBack());
}

// The question as the user meets it: Enter answers No and the results stay.
void Form1SearchTest::enterKeepsTheResults()
{
    Stage stage;
    openTwoTopics(stage);
    stage.search(QStringLiteral("abc"));
    msgbox::setAutoAnswer(false);
    QString asked;
    Stage::when([] { return qobject_cast<QMessageBox *>(QApplication::activeModalWidget()); },
                [&asked] {
                    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
                    asked = box->text();
                    QTest::keyClick(box, Qt::Key_Return);
                });
    QTimer::singleShot(10000, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
            box->reject();
    });
    stage.form->Topic->setCurrentIndex(1);
    RunCommand(*stage.form, 1);
    msgbox::setAutoAnswer(true);
    QCOMPARE(asked, QStringLiteral("検索テーマを変えたら今の検索結果を放棄します。継続しますか？"));
    QCOMPARE(stage.form->Topic->currentIndex(), 0);
    QCOMPARE(stage.session.settings.iTopic, 0);
    QCOMPARE(stage.form->listCount(), 20);
    QCOMPARE(stage.session.run.HitCount, 20);
}

// No topic at all: nothing to choose, an empty site list, and a search that ends at once.
void Form1SearchTest::emptyTopicStore()
{
    Stage stage;
    stage.farm.serveSearch("/a/search", generated(30));
    stage.open({{"a", "日本語", "/a/search"}}, {});
    QCOMPARE(stage.form->Topic->count(), 0);
    QCOMPARE(stage.form->listCount(), 0);
    stage.search(QStringLiteral("abc"));
    QCOMPARE(stage.form->statusText(), QStringLiteral("終了しました。検索結果のリンク数＝0"));
    QCOMPARE(stage.farm.requestCount(), size_t(0));
}

// Each tick shows the driver's text followed by the elapsed seconds; a further tick changes
// only the number. A run sets the timer to one second.
void Form1SearchTest::elapsedTimeLine()
{
    Stage stage;
    openTwoTopics(stage);
    stage.session.run.StatusText = QStringLiteral("確認中の接続数=5");
    stage.session.run.ElapsedTicks = 0;
    stage.form->Timer1->start(10);
    QTRY_VERIFY(stage.session.run.ElapsedTicks >= 3);
    stage.form->Timer1->stop();
    QCOMPARE(stage.form->statusText(), QStringLiteral("確認中の接続数=5(時間経過=") +
                                           QString::number(stage.session.run.ElapsedTicks) +
                                           QStringLiteral("秒)"));
    stage.session.run.ElapsedTicks = 3;
    stage.form->Timer1->start(200);
    QTRY_VERIFY(stage.session.run.ElapsedTicks >= 4);
    stage.form->Timer1->stop();
    QCOMPARE(stage.form->statusText(), QStringLiteral("確認中の接続数=5(時間経過=") +
                                           QString::number(stage.session.run.ElapsedTicks) +
                                           QStringLiteral("秒)"));

    stage.form->Topic->setCurrentIndex(2);
    RunCommand(*stage.form, 1);
    stage.session.settings.LimitTime = 2;
    int interval = 0;
    bool active = false;
    Stage::at(1500, [&] {
        interval = stage.form->Timer1->interval();
        active = stage.form->Timer1->isActive();
    });
    stage.search(QStringLiteral("abc"));
    QCOMPARE(interval, 1000);
    QVERIFY(active);
    QVERIFY(!stage.form->Timer1->isActive());
    QCOMPARE(stage.session.run.ElapsedTicks, 0);
}

void Form1SearchTest::statusBarClickCopies()
{
    Stage stage;
    openTwoTopics(stage);
    QApplication::clipboard()->setText(QStringLiteral("old"));
    stage.form->setStatusText(QStringLiteral("終了しました。検索結果のリンク数＝3"));
    QTest::mouseClick(stage.form->StatusLine, Qt::LeftButton);
    QCOMPARE(QApplication::clipboard()->text(),
             QStringLiteral("終了しました。検索結果のリンク数＝3"));
    stage.form->setStatusText(QString());
    QTest::mouseClick(stage.form->Status, Qt::LeftButton, {},
                      QPoint(stage.form->Status->width() - 3, 3));
    QCOMPARE(QApplication::clipboard()->text(), QString());
}

// Addresses, site names and file names come from pages and servers: a label shows their
// markup characters as they are, never as markup.
void Form1SearchTest::outsideTextShowsAsWritten()
{
    Stage stage;
    openTwoTopics(stage);
    Searching searching(stage.session, [] {});
    Confirm confirm(stage.session.run, [] {});
    Download download(stage.session.update);
    const QString markup = QStringLiteral("<b>x</b><img src=y>&amp;");
    for (QLabel *label : {stage.form->StatusLine, searching.LBSearch, confirm.LBCheck,
                          download.findChild<QLabel *>(QStringLiteral("LBOne"))}) {
        label->setText(markup);
        QVERIFY2(label->sizeHint().width() >= label->fontMetrics().horizontalAdvance(markup),
                 qPrintable(label->objectName()));
    }
    // A topic's name from the topics file, too long for its chooser, is the chooser's tip.
    QComboBox chooser;
    ElideChooser(&chooser, 12);
    chooser.resize(80, chooser.sizeHint().height());
    const QString name = markup + QString(80, u'x');
    chooser.addItem(name);
    QCOMPARE(TipShownAs(chooser.toolTip()), name);
}

// The animation plays while a search runs; without its file a drawn one stands in.
void Form1SearchTest::animationRunsDuringSearch()
{
    Stage stage;
    openTwoTopics(stage);
    QVERIFY(!stage.form->finder->pixmap().isNull());
    stage.form->Topic->setCurrentIndex(2);
    RunCommand(*stage.form, 1);
    stage.session.settings.LimitTime = 1;
    bool running = false;
    Stage::at(300, [&] { running = stage.form->finderRunning(); });
    stage.search(QStringLiteral("abc"));
    QVERIFY(running);
    QVERIFY(!stage.form->finderRunning());

    // With the delivered animation file the window plays it.
    setProgramDir(QStringLiteral(VELMORA_PROGRAM_DIR));
    Form1 other(stage.session);
    other.Init_finder();
    QMovie *movie = other.finderMovie();
    QVERIFY(movie != nullptr);
    // Each frame keeps the animation's size in the window's units, at the screen's density.
    QCOMPARE(other.finder->pixmap().deviceIndependentSize().toSize(),
             movie->currentPixmap().size());
    QCOMPARE(other.finder->pixmap().devicePixelRatio(), other.finder->devicePixelRatioF());
    other.Start_finder();
    QCOMPARE(movie->state(), QMovie::Running);
    other.Stop_finder();
    QCOMPARE(movie->state(), QMovie::NotRunning);
    setProgramDir(QString());
}

QTEST_MAIN(Form1SearchTest)
#include "form1_search_test.moc"
