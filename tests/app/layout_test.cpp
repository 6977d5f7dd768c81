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
    void initialPositions()
    {
        QCOMPARE(TwipsPerPixel(96), 15);
        QCOMPARE(TwipsPerPixel(120), 12);
        const Layout l = InitLayout(design());
        QCOMPARE(l.rightEdge, 12000 - 120);
        QCOMPARE(l.minWidth, 6000);
        QCOMPARE(l.minHeight, 3750);
        QCOMPARE(l.bottomBand, 900);

        // Animation top right, toolbar up to 20 before it; rows 20 under the lower of the two,
        // controls and rows 50 apart, the last control of a row ending at the right edge.
        QCOMPARE(l.finder, (Box{l.rightEdge - 480, 0, 480, 480}));
        QCOMPARE(l.tool, (Box{0, 0, l.finder.left - 20, 600}));
        const int row1 = 620;
        for (const Box &b : {l.lWord, l.word, l.search, l.adr, l.url})
            QCOMPARE(b.top, row1);
        for (const Box &b : {l.lTopic, l.topic, l.lMethod, l.tMethod})
            QCOMPARE(b.top, row1 + 360 + 50);
        for (const Box &b : {l.search, l.tMethod, l.url})
            QCOMPARE(b.right(), l.rightEdge);
        QCOMPARE(l.word, (Box{l.lWord.right() + 50, row1, l.search.left - 50 - 1070, 360}));
        QCOMPARE(l.topic.right(), l.lMethod.left - 50);
        QCOMPARE(l.lMethod.right(), l.tMethod.left - 50);
        QCOMPARE(l.url.left, l.adr.right() + 50);

        // Browse face: tree and Web side by side, 50 under the row, down to the status top.
        QCOMPARE(l.tree, (Box{0, row1 + 410, 3000, 6600 - (row1 + 410)}));
        QCOMPARE(l.web, (Box{3050, l.tree.top, l.rightEdge - 3050, l.tree.height}));

        // Search face: the list at full height, Web2 where the shortened list would end.
        const int listTop = row1 + 2 * 410;
        QCOMPARE(l.fullListHeight, 6600 - listTop);
        QCOMPARE(l.previewListHeight, l.fullListHeight / 2);
        QCOMPARE(l.list, (Box{0, listTop, l.rightEdge, l.fullListHeight}));
        QCOMPARE(l.web2,
                 (Box{0, listTop + l.previewListHeight + 50, l.rightEdge, l.previewListHeight}));

        // Without a toolbar, or with one lower than the animation, the animation decides.
        QCOMPARE(InitLayout(design(0)).word.top, 500);
        QCOMPARE(InitLayout(design(300)).word.top, 500);
    }

    void resize()
    {
        Layout l = InitLayout(design());
        const Layout before = l;
        int dx = 0;
        QVERIFY(Form_Resize(l, 12000 + 1500, 7500 + 900, false, &dx));
        QCOMPARE(dx, 1500);
        QCOMPARE(l.finder.left, before.finder.left + 1500);
        for (auto box : {&Layout::tool, &Layout::url, &Layout::word, &Layout::topic, &Layout::web,
                         &Layout::list, &Layout::web2})
            QCOMPARE((l.*box).width, (before.*box).width + 1500);
        for (auto box : {&Layout::search, &Layout::lMethod, &Layout::tMethod})
            QCOMPARE((l.*box).left, (before.*box).left + 1500);
        QCOMPARE(l.statusTop, before.statusTop + 900);
        QCOMPARE(l.tree.bottom(), l.statusTop);
        QCOMPARE(l.web.bottom(), l.statusTop);
        QCOMPARE(l.list.bottom(), l.statusTop);
        QCOMPARE(l.web2.bottom(), l.statusTop); // hidden, but sized to fit
        // The same size again moves nothing.
        QVERIFY(!Form_Resize(l, 12000 + 1500, 7500 + 900, false, &dx));

        // With the preview shown, a taller window makes only the preview taller.
        SetPreviewShown(l, true);
        const Layout shown = l;
        QVERIFY(Form_Resize(l, 12000 + 1500, 7500 + 1400, true, &dx));
        QCOMPARE(dx, 0);
        QCOMPARE(l.list, shown.list);
        QCOMPARE(l.web2.top, shown.web2.top);
        QCOMPARE(l.web2.height, shown.web2.height + 500);
        // Hiding the pane gives the list the whole height; showing it brings back its share.
        SetPreviewShown(l, false);
        QCOMPARE(l.list.bottom(), l.statusTop);
        SetPreviewShown(l, true);
        QCOMPARE(l.list, shown.list);
    }

    void belowMinimumNothingMoves()
    {
        Layout l = InitLayout(design());
        const Layout before = l;
        QVERIFY(!Form_Resize(l, 5999, 7500, false));
        QVERIFY(!Form_Resize(l, 12000, 3749, true));
        QCOMPARE(l.rightEdge, before.rightEdge);
        QCOMPARE(l.statusTop, before.statusTop);
        QCOMPARE(l.list, before.list);
        QCOMPARE(l.word, before.word);
        QVERIFY(Form_Resize(l, 6000, 3750, false)); // exactly the minimum is allowed
        QCOMPARE(l.rightEdge, 6000 - 120);
    }

    void searchSplitter()
    {
        Layout l = InitLayout(design());
        // Without the preview pane, no press between the list and the status bar drags.
        UpdateSplitterZone(l, Mode::Search, false);
        for (int y = l.list.bottom() - 20; y <= l.statusTop; y += 5)
            QVERIFY(!SplitterDown(l, l.list.width / 2, y));
        QVERIFY(!SplitterUp(l, Mode::Search, false, 10, 10));

        SetPreviewShown(l, true);
        UpdateSplitterZone(l, Mode::Search, true);
        // Strictly inside: not on the zone's edges.
        QVERIFY(!SplitterDown(l, l.list.left, l.list.bottom() + 1));
        QVERIFY(!SplitterDown(l, 100, l.list.bottom()));
        QVERIFY(!SplitterDown(l, 100, l.web2.top));
        const Layout start = l;
        const int h = start.web2.height;
        const QPoint at = gap(l);

        // Up by more than the list's height: exactly 64 left, the preview takes the rest.
        QVERIFY(drag(l, Mode::Search, true, at.x(), at.y(), 0, -(start.list.height + 700)));
        QCOMPARE(l.list.height, 64);
        QCOMPARE(l.previewListHeight, 64);
        QCOMPARE(l.web2.height, h + start.list.height - 64);
        QCOMPARE(l.web2.top, l.list.bottom() + 50);
        QVERIFY(!l.dragging);
        QCOMPARE(l.zone.yTo, l.web2.top); // the zone moved with the gap
        QVERIFY(Form_Resize(l, 12000, 7000, true));
        QCOMPARE(l.list.height, 64); // a resize keeps the dragged list

        // Down by more than h − 64 but less than h: the preview ends lower than 64.
        l = start;
        QVERIFY(drag(l, Mode::Search, true, at.x(), at.y(), 0, h - 20));
        QCOMPARE(l.web2.height, 20);
        QCOMPARE(l.list.height, start.list.height + h - 20);
        // Down by more than all of it: cut back to exactly 64.
        l = start;
        QVERIFY(drag(l, Mode::Search, true, at.x(), at.y(), 0, h + 300));
        QCOMPARE(l.web2.height, 64);
        QCOMPARE(l.web2.top, l.list.bottom() + 50);
        QCOMPARE(l.web2.bottom(), start.web2.bottom());
    }

    // Splits kept from an earlier session come back within what this window allows: a kept
    // list taller than the window still leaves the preview its 64 twips, a kept tree its web.
    void keptSplitsAreFittedToTheWindow()
    {
        Layout l = InitLayout(design());
        SetPreviewShown(l, true);
        const Layout start = l;
        RestoreSplits(l, Mode::Search, true, 2000, 0);
        QCOMPARE(l.list.height, 2000);
        QCOMPARE(l.web2.top, l.list.bottom() + 50);
        QCOMPARE(l.web2.bottom(), start.list.top + start.fullListHeight);
        QCOMPARE(l.tree, start.tree);

        RestoreSplits(l, Mode::Search, true, 999999, 999999);
        QCOMPARE(l.web2.height, 64);
        QCOMPARE(l.list.bottom() + 50, l.web2.top);
        QCOMPARE(l.web.width, 64);
        QCOMPARE(l.web.left, l.tree.right() + 50);
        QCOMPARE(l.web.right(), start.web.right());
    }

    void browseSplitter()
    {
        Layout l = InitLayout(design());
        UpdateSplitterZone(l, Mode::Browse, false);
        const Layout start = l;
        const int x = l.tree.right() + 25;
        const int y = l.tree.top + 1000;
        QVERIFY(!SplitterDown(l, x, l.tree.top));
        QVERIFY(!SplitterDown(l, l.tree.right(), y));

        QVERIFY(drag(l, Mode::Browse, false, x, y, 900, 3000)); // dy plays no part
        QCOMPARE(l.tree.width, start.tree.width + 900);
        QCOMPARE(l.web.left, start.web.left + 900);
        QCOMPARE(l.web.right(), start.web.right());
        QCOMPARE(l.tree.height, start.tree.height);
        l = start;
        QVERIFY(drag(l, Mode::Browse, false, x, y, -(start.tree.width + 500), 0));
        QCOMPARE(l.tree.width, 64);
        l = start;
        QVERIFY(drag(l, Mode::Browse, false, x, y, start.web.width + 1, 0));
        QCOMPARE(l.web.width, 64);
        l = start;
        QVERIFY(drag(l, Mode::Browse, false, x, y, start.web.width - 30, 0));
        QCOMPARE(l.web.width, 30);
    }
};

QTEST_APPLESS_MAIN(LayoutTest)
#include "layout_test.moc"
