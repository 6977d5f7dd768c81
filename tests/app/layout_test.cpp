// The main window's layout arithmetic in twips: the start-up positions, resizing with and
// without the preview pane, the minimum size, and the splitter's zone and drag limits.
#include "mainwindow/layout.h"

#include <QtTest>

using namespace layout;

namespace {

// A window of 800 × 500 pixels at 15 twips to the pixel, with a toolbar.
Design design(int toolHeight = 600)
{
    Design d;
    d.width = 12000;
    d.height = 7500;
    d.statusTop = 6600;
    d.toolHeight = toolHeight;
    d.finderWidth = 480;
    d.finderHeight = 480;
    d.rowHeight = 360;
    d.labelWidth = 900;
    d.methodLabelWidth = 800;
    d.methodWidth = 2400;
    d.searchWidth = 1500;
    d.treeWidth = 3000;
    return d;
}

// Moves the splitter by a mouse press and release on the surface.
bool drag(Layout &l, Mode mode, bool preview, int x, int y, int dx, int dy)
{
    if (!SplitterDown(l, x, y))
        return false;
    return SplitterUp(l, mode, preview, x + dx, y + dy);
}

// A point in the middle of the search face's splitter gap.
QPoint gap(const Layout &l)
{
    return {l.list.left + l.list.width / 2, (l.list.bottom() + l.web2.top) / 2};
}

} // namespace

class LayoutTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void twipsPerPixel()
    {
        QCOMPARE(TwipsPerPixel(96), 15);
        QCOMPARE(TwipsPerPixel(120), 12);
        QCOMPARE(TwipsPerPixel(144), 10);
        QCOMPARE(TwipsPerPixel(0), 15); // unknown: the usual screen
    }

    void initialPositions()
    {
        const Layout l = InitLayout(design());
        QCOMPARE(l.rightEdge, 12000 - 120);
        QCOMPARE(l.minWidth, 6000);
        QCOMPARE(l.minHeight, 3750);
        QCOMPARE(l.bottomBand, 900);

        // Animation top right, toolbar up to 20 before it.
        QCOMPARE(l.finder, (Box{l.rightEdge - 480, 0, 480, 480}));
        QCOMPARE(l.tool, (Box{0, 0, l.finder.left - 20, 600}));

        // Rows 20 under the toolbar (the lower of toolbar and animation), 50 apart.
        const int row1 = 620;
        for (const Box &b : {l.lWord, l.word, l.search, l.adr, l.url})
            QCOMPARE(b.top, row1);
        for (const Box &b : {l.lTopic, l.topic, l.lMethod, l.tMethod})
            QCOMPARE(b.top, row1 + 360 + 50);
        QCOMPARE(l.search.right(), l.rightEdge);
        QCOMPARE(l.tMethod.right(), l.rightEdge);
        QCOMPARE(l.url.right(), l.rightEdge);
        QCOMPARE(l.word.left, l.lWord.right() + 50);
        QCOMPARE(l.word.right(), l.search.left - 50);
        QCOMPARE(l.topic.left, l.lTopic.right() + 50);
        QCOMPARE(l.topic.right(), l.lMethod.left - 50);
        QCOMPARE(l.lMethod.right(), l.tMethod.left - 50);
        QCOMPARE(l.url.left, l.adr.right() + 50);

        // Browse face: tree and Web side by side, 50 under the row, down to the status top.
        QCOMPARE(l.tree, (Box{0, row1 + 360 + 50, 3000, 6600 - (row1 + 410)}));
        QCOMPARE(l.web, (Box{3050, l.tree.top, l.rightEdge - 3050, l.tree.height}));

        // Search face: the list at full height; Web2 under where the shortened list ends.
        const int listTop = row1 + 2 * 360 + 2 * 50;
        QCOMPARE(l.fullListHeight, 6600 - listTop);
        QCOMPARE(l.previewListHeight, l.fullListHeight / 2);
        QCOMPARE(l.list, (Box{0, listTop, l.rightEdge, l.fullListHeight}));
        QCOMPARE(l.web2,
                 (Box{0, listTop + l.previewListHeight + 50, l.rightEdge, l.previewListHeight}));

        // Without a toolbar the rows start 20 under the animation.
        const Layout bare = InitLayout(design(0));
        QCOMPARE(bare.word.top, 480 + 20);
        QCOMPARE(bare.tool.height, 0);
        // A toolbar lower than the animation: the animation decides.
        QCOMPARE(InitLayout(design(300)).word.top, 500);
    }

    void resizeWithoutPreview()
    {
        Layout l = InitLayout(design());
        const Layout before = l;
        int dx = 0;
        QVERIFY(Form_Resize(l, 12000 + 1500, 7500 + 900, false, &dx));
        QCOMPARE(dx, 1500);
        QCOMPARE(l.rightEdge, before.rightEdge + 1500);
        QCOMPARE(l.statusTop, before.statusTop + 900);
        QCOMPARE(l.finder.left, before.finder.left + 1500);
        for (auto box : {&Layout::tool, &Layout::url, &Layout::word, &Layout::topic, &Layout::web,
                         &Layout::list, &Layout::web2})
            QCOMPARE((l.*box).width, (before.*box).width + 1500);
        for (auto box : {&Layout::search, &Layout::lMethod, &Layout::tMethod})
            QCOMPARE((l.*box).left, (before.*box).left + 1500);
        QCOMPARE(l.tree.height, before.tree.height + 900);
        QCOMPARE(l.web.height, before.web.height + 900);
        QCOMPARE(l.tree.bottom(), l.statusTop);
        QCOMPARE(l.fullListHeight, before.fullListHeight + 900);
        QCOMPARE(l.list.height, l.fullListHeight);
        QCOMPARE(l.list.bottom(), l.statusTop);
        // The hidden preview pane is sized to end at the status top.
        QCOMPARE(l.web2.bottom(), l.statusTop);
        QCOMPARE(l.previewListHeight, before.previewListHeight);

        // Only taller: nothing moves sideways.
        QVERIFY(Form_Resize(l, 12000 + 1500, 7500 + 1200, false, &dx));
        QCOMPARE(dx, 0);
        // The same size again moves nothing.
        const Layout same = l;
        QVERIFY(!Form_Resize(l, 12000 + 1500, 7500 + 1200, false, &dx));
        QCOMPARE(l.list, same.list);
    }

    void resizeWithPreviewChangesOnlyThePreview()
    {
        Layout l = InitLayout(design());
        SetPreviewShown(l, true);
        QCOMPARE(l.list.height, l.previewListHeight);
        const Layout before = l;
        QVERIFY(Form_Resize(l, 12000, 7500 + 1500, true));
        QCOMPARE(l.list, before.list);
        QCOMPARE(l.web2.top, before.web2.top);
        QCOMPARE(l.web2.bottom(), l.statusTop);
        const int taller = l.web2.height;
        QVERIFY(Form_Resize(l, 12000, 7500 + 2000, true));
        QCOMPARE(l.web2.height, taller + 500);
        QCOMPARE(l.list, before.list);
        // Hiding the pane gives the list the whole height; showing it brings back its share.
        SetPreviewShown(l, false);
        QCOMPARE(l.list.bottom(), l.statusTop);
        SetPreviewShown(l, true);
        QCOMPARE(l.list.height, before.list.height);
    }

    void belowMinimumNothingMoves()
    {
        Layout l = InitLayout(design());
        const Layout before = l;
        QVERIFY(!Form_Resize(l, 5999, 7500, false));
        QVERIFY(!Form_Resize(l, 12000, 3749, true));
        QVERIFY(!Form_Resize(l, 3000, 2000, false));
        QCOMPARE(l.rightEdge, before.rightEdge);
        QCOMPARE(l.statusTop, before.statusTop);
        QCOMPARE(l.list, before.list);
        QCOMPARE(l.web2, before.web2);
        QCOMPARE(l.word, before.word);
        // Exactly the minimum size is allowed.
        QVERIFY(Form_Resize(l, 6000, 3750, false));
        QCOMPARE(l.rightEdge, 6000 - 120);
        QCOMPARE(l.statusTop, 3750 - l.bottomBand);
    }

    void noSplitterWithoutPreview()
    {
        Layout l = InitLayout(design());
        UpdateSplitterZone(l, Mode::Search, false);
        // Everywhere between the list and the status bar, and on the list's lower edge.
        for (int y = l.list.bottom() - 20; y <= l.statusTop; y += 5)
            QVERIFY2(!SplitterDown(l, l.list.width / 2, y), qPrintable(QString::number(y)));
        QVERIFY(!l.dragging);
        QVERIFY(!SplitterUp(l, Mode::Search, false, 10, 10));
    }

    void splitterZoneIsStrict()
    {
        Layout l = InitLayout(design());
        SetPreviewShown(l, true);
        UpdateSplitterZone(l, Mode::Search, true);
        const int y = gap(l).y();
        QVERIFY(!SplitterDown(l, l.list.left, y));    // on the left bound
        QVERIFY(!SplitterDown(l, l.list.right(), y)); // on the right bound
        QVERIFY(!SplitterDown(l, 100, l.list.bottom()));
        QVERIFY(!SplitterDown(l, 100, l.web2.top));
        QVERIFY(!l.dragging);
        QVERIFY(SplitterDown(l, 100, l.list.bottom() + 1));
        QVERIFY(l.dragging);
        // A fresh zone ends the drag.
        UpdateSplitterZone(l, Mode::Search, true);
        QVERIFY(!l.dragging);
    }

    void dragUpLeavesExactlyTheMinimumList()
    {
        Layout l = InitLayout(design());
        SetPreviewShown(l, true);
        UpdateSplitterZone(l, Mode::Search, true);
        const Layout before = l;
        const QPoint at = gap(l);
        QVERIFY(drag(l, Mode::Search, true, at.x(), at.y(), 0, -(before.list.height + 700)));
        QCOMPARE(l.list.height, 64);
        QCOMPARE(l.previewListHeight, 64);
        const int taken = before.list.height - 64;
        QCOMPARE(l.web2.height, before.web2.height + taken);
        QCOMPARE(l.web2.top, before.web2.top - taken);
        QCOMPARE(l.web2.top, l.list.bottom() + 50);
        // The zone moved with the gap and the drag is over.
        QVERIFY(!l.dragging);
        QCOMPARE(l.zone.yFrom, l.list.bottom());
        QCOMPARE(l.zone.yTo, l.web2.top);
        // A later resize keeps the list as dragged.
        QVERIFY(Form_Resize(l, 12000, 7000, true));
        QCOMPARE(l.list.height, 64);
    }

    void dragDownCutsThePreviewOnlyWhenAllOfItIsTaken()
    {
        Layout l = InitLayout(design());
        SetPreviewShown(l, true);
        UpdateSplitterZone(l, Mode::Search, true);
        const Layout start = l;
        const int h = start.web2.height;
        const QPoint at = gap(l);

        // More than h − 64 but less than h: the preview ends lower than 64.
        QVERIFY(drag(l, Mode::Search, true, at.x(), at.y(), 0, h - 20));
        QCOMPARE(l.web2.height, 20);
        QCOMPARE(l.list.height, start.list.height + h - 20);
        QCOMPARE(l.previewListHeight, l.list.height);

        // More than the whole preview: cut back to exactly 64.
        l = start;
        QVERIFY(drag(l, Mode::Search, true, at.x(), at.y(), 0, h + 300));
        QCOMPARE(l.web2.height, 64);
        QCOMPARE(l.list.height, start.list.height + h - 64);
        QCOMPARE(l.web2.top, l.list.bottom() + 50);

        // Exactly the whole preview is not more than it: nothing is left.
        l = start;
        QVERIFY(drag(l, Mode::Search, true, at.x(), at.y(), 0, h));
        QCOMPARE(l.web2.height, 0);

        // A plain drag moves the gap by the distance.
        l = start;
        QVERIFY(drag(l, Mode::Search, true, at.x(), at.y(), 0, -300));
        QCOMPARE(l.list.height, start.list.height - 300);
        QCOMPARE(l.web2.height, h + 300);
        QCOMPARE(l.web2.bottom(), start.web2.bottom());
    }

    void browseDrag()
    {
        Layout l = InitLayout(design());
        UpdateSplitterZone(l, Mode::Browse, false);
        QCOMPARE(l.zone.xFrom, l.tree.right());
        QCOMPARE(l.zone.xTo, l.web.left);
        QCOMPARE(l.zone.yFrom, l.tree.top);
        QCOMPARE(l.zone.yTo, l.web.bottom());
        const Layout start = l;
        const int x = l.tree.right() + 25;
        const int y = l.tree.top + 1000;

        QVERIFY(drag(l, Mode::Browse, false, x, y, 900, 3000)); // dy plays no part
        QCOMPARE(l.tree.width, start.tree.width + 900);
        QCOMPARE(l.web.left, start.web.left + 900);
        QCOMPARE(l.web.right(), start.web.right());
        QCOMPARE(l.tree.height, start.tree.height);

        l = start;
        QVERIFY(drag(l, Mode::Browse, false, x, y, -(start.tree.width + 500), 0));
        QCOMPARE(l.tree.width, 64);
        QCOMPARE(l.web.left, 64 + 50);

        l = start;
        QVERIFY(drag(l, Mode::Browse, false, x, y, start.web.width + 1, 0));
        QCOMPARE(l.web.width, 64);
        QCOMPARE(l.web.right(), start.web.right());

        l = start;
        QVERIFY(drag(l, Mode::Browse, false, x, y, start.web.width - 30, 0));
        QCOMPARE(l.web.width, 30);

        // The browse zone does not reach into the search face's gap, nor beyond the panes.
        l = start;
        QVERIFY(!SplitterDown(l, x, l.tree.top));
        QVERIFY(!SplitterDown(l, x, l.web.bottom()));
        QVERIFY(!SplitterDown(l, l.tree.right(), y));
    }
};

QTEST_APPLESS_MAIN(LayoutTest)
#include "layout_test.moc"
