// The main window's web panes against the local server: a clicked hit opening in the preview
// pane, browse mode's pane with the address box, the splitter dragged with the mouse, the
// window's layout on screen and when resized, and the hand-off to the desktop's browser.
#include "mainwindow/commands.h"
#include "runfixture.h"
#include "windowdriving.h"

#include <QMenu>
#include <QSignalSpy>
#include <QStatusBar>
#include <QUrl>
#include <QWebEngineView>

using namespace runfixture;

namespace {

QString url(const Stage &stage, const std::string &path)
{
    return QString::fromStdString(stage.farm.url(path));
}

std::string titled(const std::string &title)
{
    return "<html><head><title>" + title + "</title></head><body>" + title + "</body></html>";
}

// One site whose result page links the given paths of the farm; the window has searched it.
void openWithHits(Stage &stage, const std::vector<std::string> &paths,
                  const std::function<void(Settings &)> &adjust = {})
{
    std::vector<std::string> links;
    for (const std::string &p : paths)
        links.push_back(stage.farm.url(p));
    stage.farm.serve("/hits/search", testsupport::page(testsupport::encode(resultPage(links))));
    stage.open({{"hits", "日本語", "/hits/search"}}, {{"t", {"hits"}}}, [&](Settings &s) {
        // Browse mode opens the home address: keep it on the local server.
        s.HomeURL = QString::fromStdString(stage.farm.url("/home"));
        if (adjust)
            adjust(s);
    });
    stage.session.settings.LimitLink = static_cast<int32_t>(paths.size());
    stage.search(QStringLiteral("abc"));
    QCOMPARE(stage.session.run.HitCount, static_cast<int32_t>(paths.size()));
}

QPoint rowPoint(Form1 *form, int row)
{
    return form->LView->visualRect(form->LView->model()->index(row, 0)).center();
}

// Where a box of the layout lies on the surface, in pixels.
QRect onScreen(Form1 *form, const layout::Box &b)
{
    const int t = form->twipsPerPixel();
    return {b.left / t, b.top / t, b.width / t, b.height / t};
}

QWidget *surface(Form1 *form)
{
    return form->centralWidget();
}

// Presses at a point of the surface and releases the button dy pixels lower (dx to the right).
void dragOnSurface(Form1 *form, QPoint from, int dx, int dy)
{
    QTest::mousePress(surface(form), Qt::LeftButton, {}, from);
    QTest::mouseRelease(surface(form), Qt::LeftButton, {}, from + QPoint(dx, dy));
}

// The pointer moved over a point of the surface, on any platform (a real display would move
// the pointer and deliver the motion later, or not at all without a window manager).
void hover(Form1 *form, QPoint at)
{
    QMouseEvent move(QEvent::MouseMove, at, surface(form)->mapToGlobal(at), Qt::NoButton, {}, {});
    QApplication::sendEvent(surface(form), &move);
}

// The visible controls of the face shown, none overlapping another, all inside the surface.
void checkFace(Form1 *form, const QList<QWidget *> &controls)
{
    const QRect area = surface(form)->rect();
    for (int i = 0; i < controls.size(); ++i) {
        QWidget *a = controls[i];
        QVERIFY2(a->isVisible(), qPrintable(a->objectName()));
        QVERIFY2(a->width() > 0 && a->height() > 0, qPrintable(a->objectName()));
        QVERIFY2(area.contains(a->geometry()), qPrintable(a->objectName()));
        for (int j = i + 1; j < controls.size(); ++j)
            QVERIFY2(!a->geometry().intersects(controls[j]->geometry()),
                     qPrintable(a->objectName() + QLatin1Char('/') + controls[j]->objectName()));
    }
}

} // namespace

class WebPanesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { msgbox::setAutoAnswer(true); }
    void cleanup() { setBrowserHandoff({}); }

    void faces();
    void clickedHitOpensInThePreview();
    void splitterDraggedWithTheMouse();
    void theGripFollowsTheMouse();
    void resizeKeepsTheListAndSizesThePreview();
    void browsePaneAndAddressBox();
    void desktopBrowserHandoff();
    void keyboardWorksTheHits();
    void firstPreviewKeepsTheWindow();
};

// Both faces: every control of the face visible and apart from the others; the other
// face's controls and the pane not shown hidden; the minimum size half the initial one.
void WebPanesTest::faces()
{
    Stage stage;
    openWithHits(stage, {"/doc/1"});
    Form1 *f = stage.form.get();
    QCOMPARE(f->size(), QSize(800, 500));
    QCOMPARE(f->minimumSize(), QSize(400, 250));
    checkFace(f, {f->finder, f->LWord, f->Word, f->Search, f->LTopic, f->Topic, f->LMethod,
                  f->TMethod, f->LView});
    for (QWidget *w : {static_cast<QWidget *>(f->Web), static_cast<QWidget *>(f->Web2),
                       static_cast<QWidget *>(f->URL), static_cast<QWidget *>(f->TView)})
        QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    // The list reaches the status bar.
    QCOMPARE(f->LView->geometry().bottom() + 1, surface(f)->height());

    RunCommand(*stage.form, 26);
    checkFace(f, {f->finder, f->ADR, f->URL, f->TView, f->Web});
    for (QWidget *w : {static_cast<QWidget *>(f->Word), static_cast<QWidget *>(f->LView),
                       static_cast<QWidget *>(f->Web2)})
        QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    QCOMPARE(f->Web->geometry().right(), f->URL->geometry().right());

    // The window does not get smaller than half its first size.
    f->resize(200, 100);
    QCOMPARE(f->size(), QSize(400, 250));
    // At the minimum size the controls still follow the window.
    QTRY_COMPARE(f->URL->geometry().right(), f->Web->geometry().right());
    QVERIFY(surface(f)->rect().contains(f->URL->geometry()));
    QCOMPARE(f->TView->geometry().bottom() + 1, surface(f)->height());
}

// A click on a hit shows the preview under the shortened list; the status line reads
// "アクセス中： " with the address, then "表示中： " with the address the page ended at.
void WebPanesTest::clickedHitOpensInThePreview()
{
    Stage stage;
    stage.farm.serve("/doc/1", testsupport::page(titled("one")));
    stage.farm.serve("/doc/2", testsupport::status(302).withHeader("Location", "/landed"));
    stage.farm.serve("/landed", testsupport::page(titled("landed")));
    openWithHits(stage, {"/doc/1", "/doc/2"});
    Form1 *f = stage.form.get();
    const int fullHeight = f->LView->height();
    QVERIFY(!f->PreviewShown);

    QTest::mouseClick(f->LView->viewport(), Qt::LeftButton, {}, rowPoint(f, 1));
    QCOMPARE(f->statusText(), QStringLiteral("アクセス中： ") + url(stage, "/doc/2"));
    QVERIFY(f->PreviewShown);
    QVERIFY(f->Web2->isVisible());
    QVERIFY(f->LView->height() < fullHeight);
    QCOMPARE(f->LView->geometry(), onScreen(f, f->windowLayout().list));
    QVERIFY(f->Web2->geometry().top() > f->LView->geometry().bottom());
    QTRY_COMPARE_WITH_TIMEOUT(f->statusText(), QStringLiteral("表示中： ") + url(stage, "/landed"),
                              20000);
    QCOMPARE(f->Web2->title(), QStringLiteral("landed"));

    // Hidden, the pane gives the list its height back and no longer writes the status line.
    RunCommand(*stage.form, 12);
    QVERIFY(!f->Web2->isVisible());
    QCOMPARE(f->LView->height(), fullHeight);
    f->setStatusText(QStringLiteral("quiet"));
    QSignalSpy loaded(f->Web2, &QWebEngineView::loadFinished);
    f->Web2->load(QUrl(url(stage, "/doc/1")));
    QTRY_VERIFY_WITH_TIMEOUT(!loaded.isEmpty(), 20000);
    QCOMPARE(f->Web2->title(), QStringLiteral("one"));
    QCOMPARE(f->statusText(), QStringLiteral("quiet"));

    // A new search hides the pane; the preview survives a trip to browse mode.
    RunCommand(*stage.form, 11);
    RunCommand(*stage.form, 26);
    QVERIFY(!f->Web2->isVisible());
    QVERIFY(f->PreviewShown);
    RunCommand(*stage.form, 26);
    QVERIFY(f->Web2->isVisible());
    QVERIFY(!f->Web->isVisible());
    stage.search(QStringLiteral("abc"));
    QVERIFY(!f->PreviewShown);
    QVERIFY(!f->Web2->isVisible());
}

// The gap between the list and the preview pane moves with a press and release of the mouse
// on the window's surface; without the preview nothing can be dragged.
void WebPanesTest::splitterDraggedWithTheMouse()
{
    Stage stage;
    openWithHits(stage, {"/doc/1"});
    Form1 *f = stage.form.get();
    const int fullHeight = f->LView->height();
    const int x = f->LView->width() / 2;

    // Between the list's bottom and the status bar, without the pane.
    dragOnSurface(f, {x, f->LView->geometry().bottom() + 1}, 0, -80);
    QCOMPARE(f->LView->height(), fullHeight);
    QCOMPARE(surface(f)->cursor().shape(), Qt::ArrowCursor);

    RunCommand(*stage.form, 11);
    const QRect list = f->LView->geometry();
    const QRect pane = f->Web2->geometry();
    QVERIFY(pane.top() - list.bottom() >= 3); // a gap to grab
    const QPoint grip(x, list.bottom() + 2);
    hover(f, grip);
    QCOMPARE(surface(f)->cursor().shape(), Qt::SplitVCursor);

    dragOnSurface(f, grip, 0, -40);
    QCOMPARE(f->LView->height(), list.height() - 40);
    QCOMPARE(f->Web2->geometry().top(), pane.top() - 40);
    QCOMPARE(f->Web2->geometry().bottom(), pane.bottom());

    // Browse mode: the tree's edge moves sideways.
    RunCommand(*stage.form, 26);
    const QRect tree = f->TView->geometry();
    const QRect web = f->Web->geometry();
    const QPoint edge(tree.right() + 2, tree.center().y());
    hover(f, edge);
    QCOMPARE(surface(f)->cursor().shape(), Qt::SplitHCursor);
    dragOnSurface(f, edge, 60, 0);
    QCOMPARE(f->TView->width(), tree.width() + 60);
    QCOMPARE(f->Web->geometry().left(), web.left() + 60);
    QCOMPARE(f->Web->geometry().right(), web.right());
}

// A visible grip at least 64 twips across, with the resize cursor, sits between the panes;
// while the button is held the panes follow the mouse, and the release leaves them there.
void WebPanesTest::theGripFollowsTheMouse()
{
    Stage stage;
    openWithHits(stage, {"/doc/1"});
    Form1 *f = stage.form.get();
    auto *grip = surface(f)->findChild<QWidget *>(QStringLiteral("splitter"));
    QVERIFY(grip && !grip->isVisible()); // nothing to drag without the preview
    RunCommand(*stage.form, 11);
    QVERIFY(grip->isVisible());
    QVERIFY(grip->height() * f->twipsPerPixel() >= 64);
    QCOMPARE(grip->cursor().shape(), Qt::SplitVCursor);
    const QRect list = f->LView->geometry();
    const QRect pane = f->Web2->geometry();
    QVERIFY(grip->geometry().contains(QPoint(list.center().x(), list.bottom() + 2)));

    const QPoint at = grip->rect().center();
    QTest::mousePress(grip, Qt::LeftButton, {}, at);
    QTest::mouseMove(grip, at + QPoint(0, 30));
    QCOMPARE(f->LView->height(), list.height() + 30);
    QCOMPARE(f->Web2->geometry().top(), pane.top() + 30);
    // The grip went along; the pointer is now at its middle again.
    QTest::mouseMove(grip, grip->rect().center() + QPoint(0, -50));
    QCOMPARE(f->LView->height(), list.height() - 20);
    QTest::mouseRelease(grip, Qt::LeftButton, {}, grip->rect().center());
    QCOMPARE(f->LView->height(), list.height() - 20);
    QCOMPARE(f->Web2->geometry().bottom(), pane.bottom());

    // Browse mode: a grip down the tree's edge, dragged sideways.
    RunCommand(*stage.form, 26);
    QVERIFY(grip->isVisible());
    QCOMPARE(grip->cursor().shape(), Qt::SplitHCursor);
    const QRect tree = f->TView->geometry();
    QTest::mousePress(grip, Qt::LeftButton, {}, grip->rect().center());
    QTest::mouseMove(grip, grip->rect().center() + QPoint(45, 0));
    QCOMPARE(f->TView->width(), tree.width() + 45);
    QTest::mouseRelease(grip, Qt::LeftButton, {}, grip->rect().center());
    QCOMPARE(f->TView->width(), tree.width() + 45);
}

// The window's resize reaches the controls: taller with the preview shown, only the preview
// grows; wider, the list and its columns widen.
void WebPanesTest::resizeKeepsTheListAndSizesThePreview()
{
    Stage stage;
    openWithHits(stage, {"/doc/1"});
    Form1 *f = stage.form.get();
    RunCommand(*stage.form, 11);
    const QRect list = f->LView->geometry();
    const int column = f->LView->columnWidth(0);
    f->resize(f->width() + 200, f->height() + 120);
    QTRY_COMPARE(f->Web2->geometry().bottom() + 1, surface(f)->height());
    QCOMPARE(f->LView->geometry(), list.adjusted(0, 0, 200, 0));
    QVERIFY(f->LView->columnWidth(0) > column);
    QCOMPARE(f->finder->geometry().right(), f->LView->geometry().right());
}

// Browse mode opens the home address in Web; the address box shows where the page ended;
// Enter in the address box opens the typed address instead.
void WebPanesTest::browsePaneAndAddressBox()
{
    Stage stage;
    stage.farm.serve("/home", testsupport::status(301).withHeader("Location", "/welcome"));
    stage.farm.serve("/welcome", testsupport::page(titled("welcome")));
    stage.farm.serve("/typed", testsupport::page(titled("typed")));
    openWithHits(stage, {"/doc/1"});
    Form1 *f = stage.form.get();

    RunCommand(*stage.form, 26);
    QVERIFY(f->Web->isVisible());
    QCOMPARE(f->statusText(), QStringLiteral("アクセス中： ") + url(stage, "/home"));
    QTRY_COMPARE_WITH_TIMEOUT(f->statusText(), QStringLiteral("表示中： ") + url(stage, "/welcome"),
                              20000);
    QCOMPARE(f->URL->text(), url(stage, "/welcome"));

    // Focus selects the whole address, so typing replaces it.
    f->activateWindow();
    f->URL->setFocus();
    QTRY_COMPARE(f->URL->selectedText(), f->URL->text());
    driving::typeText(f->URL, url(stage, "/typed"));
    QCOMPARE(f->URL->text(), url(stage, "/typed"));
    stage.farm.clearLog();
    QTest::keyClick(f->URL, Qt::Key_Return);
    QVERIFY(f->BrowseMode);
    QCOMPARE(f->TargetURL, url(stage, "/typed"));
    QCOMPARE(f->statusText(), QStringLiteral("アクセス中： ") + url(stage, "/typed"));
    QTRY_COMPARE_WITH_TIMEOUT(f->statusText(), QStringLiteral("表示中： ") + url(stage, "/typed"),
                              20000);
    QCOMPARE(f->URL->text(), url(stage, "/typed"));
    QCOMPARE(f->Web->title(), QStringLiteral("typed"));

    // Back in search mode the browse pane hides and its loads leave the status line alone.
    RunCommand(*stage.form, 26);
    QVERIFY(!f->Web->isVisible());
    f->setStatusText(QStringLiteral("quiet"));
    QSignalSpy loaded(f->Web, &QWebEngineView::loadFinished);
    f->Web->load(QUrl(url(stage, "/welcome")));
    QTRY_VERIFY_WITH_TIMEOUT(!loaded.isEmpty(), 20000);
    QCOMPARE(f->Web->title(), QStringLiteral("welcome"));
    QCOMPARE(f->statusText(), QStringLiteral("quiet"));
}

// The first hand-off goes to the desktop's running browser and is reused while it works;
// once it fails, the address goes to a new browser, and so does every later one. When that
// fails too, the status line says so.
void WebPanesTest::desktopBrowserHandoff()
{
    Stage stage;
    openWithHits(stage, {"/doc/1"});
    Form1 *f = stage.form.get();
    QList<QUrl> reused;
    QList<QUrl> fresh;
    bool reuseWorks = true;
    bool freshWorks = true;
    setBrowserHandoff({[&](const QUrl &u) {
                           reused << u;
                           return reuseWorks;
                       },
                       [&](const QUrl &u) {
                           fresh << u;
                           return freshWorks;
                       }});

    // A double click on a hit (its first click opens the preview): the desktop's browser.
    QTest::mouseClick(f->LView->viewport(), Qt::LeftButton, {}, rowPoint(f, 0));
    QTest::mouseDClick(f->LView->viewport(), Qt::LeftButton, {}, rowPoint(f, 0));
    QCOMPARE(reused, QList<QUrl>({QUrl(url(stage, "/doc/1"))}));
    f->TargetURL = url(stage, "/second");
    RunCommand(*stage.form, 25);
    QCOMPARE(reused.size(), 2);
    QVERIFY(fresh.isEmpty());

    // The user closed that browser: the reuse fails, a new one opens; from then on only new.
    reuseWorks = false;
    f->TargetURL = url(stage, "/third");
    RunCommand(*stage.form, 25);
    QCOMPARE(reused.size(), 3);
    QCOMPARE(fresh, QList<QUrl>({QUrl(url(stage, "/third"))}));
    reuseWorks = true;
    f->TargetURL = QStringLiteral("/tmp/velmora report/Current.htm"); // a saved list
    RunCommand(*stage.form, 25);
    QCOMPARE(reused.size(), 3);
    QCOMPARE(fresh.last(), QUrl::fromLocalFile(QStringLiteral("/tmp/velmora report/Current.htm")));

    // Nothing can start a browser.
    freshWorks = false;
    f->setStatusText(QString());
    f->TargetURL = url(stage, "/fourth");
    RunCommand(*stage.form, 25);
    QCOMPARE(fresh.size(), 3);
    QCOMPARE(f->statusText(),
             QStringLiteral("ブラウザを起動できません： ") + url(stage, "/fourth"));

    // A new window starts with a working reuse; without a display the defaults refuse (on a
    // real display they would start a browser).
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        return;
    setBrowserHandoff({});
    stage.form.reset();
    stage.form = std::make_unique<Form1>(stage.session);
    stage.form->Form_Load(0);
    stage.form->TargetURL = url(stage, "/fifth");
    RunCommand(*stage.form, 25);
    QCOMPARE(stage.form->statusText(),
             QStringLiteral("ブラウザを起動できません： ") + url(stage, "/fifth"));
}

// The hits without a mouse: a key that moves the current row takes the preview along, Enter
// opens the row in the desktop's browser as a double click does, and the Menu key and
// Shift+F10 open the row's pop-up menu.
void WebPanesTest::keyboardWorksTheHits()
{
    Stage stage;
    for (const char *path : {"/doc/1", "/doc/2", "/doc/3"})
        stage.farm.serve(path, testsupport::page(titled(path)));
    openWithHits(stage, {"/doc/1", "/doc/2", "/doc/3"});
    Form1 *f = stage.form.get();
    QList<QUrl> opened;
    setBrowserHandoff({[&opened](const QUrl &u) {
                           opened << u;
                           return true;
                       },
                       {}});
    f->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f));
    QTest::mouseClick(f->LView->viewport(), Qt::LeftButton, {}, rowPoint(f, 0));
    QTRY_COMPARE(f->Web2->url(), QUrl(url(stage, "/doc/1")));

    QTest::keyClick(f->LView, Qt::Key_Down);
    QTest::keyClick(f->LView, Qt::Key_Down);
    QCOMPARE(f->LView->currentIndex().row(), 2);
    QTRY_COMPARE(f->Web2->url(), QUrl(url(stage, "/doc/3")));
    QCOMPARE(f->TargetURL, url(stage, "/doc/3"));
    QTest::keyClick(f->LView, Qt::Key_Up);
    QTRY_COMPARE(f->Web2->url(), QUrl(url(stage, "/doc/2")));
    QVERIFY(opened.isEmpty());

    QTest::keyClick(f->LView, Qt::Key_Return);
    QCOMPARE(opened, QList<QUrl>{QUrl(url(stage, "/doc/2"))});
    QTest::keyClick(f->LView, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(opened.size(), 2);

    for (const QKeyCombination key :
         {QKeyCombination(Qt::Key_Menu), QKeyCombination(Qt::ShiftModifier, Qt::Key_F10)}) {
        QTest::keyClick(f->LView, key.key(), key.keyboardModifiers());
        QTRY_VERIFY(f->mRClick->isVisible());
        QCOMPARE(f->selectedPosition(), 2);
        // Below the row it acts on.
        const QRect row = f->LView->visualRect(f->LView->currentIndex());
        QCOMPARE(f->mRClick->pos().y(), f->LView->viewport()->mapToGlobal(row.bottomLeft()).y());
        f->mRClick->close();
    }
}

// The preview's first page does not rebuild the window: its native window stays the one the
// user sees, so the second click of a double click lands in it and opens the browser.
void WebPanesTest::firstPreviewKeepsTheWindow()
{
    Stage stage;
    stage.farm.serve("/doc/1", testsupport::page(titled("one")));
    openWithHits(stage, {"/doc/1"});
    Form1 *f = stage.form.get();
    QVERIFY(QTest::qWaitForWindowExposed(f));
    const WId before = f->winId();
    QWindow *window = f->windowHandle();
    int rebuilt = 0;
    QObject::connect(window, &QWindow::visibleChanged, [&rebuilt](bool shown) {
        if (!shown)
            ++rebuilt;
    });
    QTest::mouseClick(f->LView->viewport(), Qt::LeftButton, {}, rowPoint(f, 0));
    QTRY_COMPARE(f->statusText(), QStringLiteral("表示中： ") + url(stage, "/doc/1"));
    QCOMPARE(f->windowHandle(), window);
    QCOMPARE(f->winId(), before);
    QCOMPARE(rebuilt, 0);
}

QTEST_MAIN(WebPanesTest)
#include "webpanes_test.moc"
