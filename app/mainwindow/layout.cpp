#include "mainwindow/layout.h"

#include <algorithm>

namespace layout {

int TwipsPerPixel(int dpi)
{
    if (dpi <= 0)
        dpi = 96;
    return std::max(1, (1440 + dpi / 2) / dpi);
}

Layout InitLayout(const Design &d)
{
    Layout l;
    l.minWidth = d.width / 2;
    l.minHeight = d.height / 2;
    l.rightEdge = d.width - kRightMargin;
    l.statusTop = d.statusTop;
    l.bottomBand = d.height - d.statusTop;

    // The animation in the top right corner; the toolbar up to just before it.
    l.finder = {l.rightEdge - d.finderWidth, 0, d.finderWidth, d.finderHeight};
    l.tool = {0, 0, std::max(0, l.finder.left - kToolGap), d.toolHeight};

    const int row1 = std::max(l.tool.bottom(), l.finder.bottom()) + kToolGap;
    const int row2 = row1 + d.rowHeight + kGap;
    const int h = d.rowHeight;
    const int boxLeft = kRowLeft + d.labelWidth + kGap;

    // First row: keywords, and the Search button ending at the right edge.
    l.lWord = {kRowLeft, row1, d.labelWidth, h};
    l.search = {l.rightEdge - d.searchWidth, row1, d.searchWidth, h};
    l.word = {boxLeft, row1, l.search.left - kGap - boxLeft, h};
    // Second row: topic, and the method label and chooser ending at the right edge.
    l.lTopic = {kRowLeft, row2, d.labelWidth, h};
    l.tMethod = {l.rightEdge - d.methodWidth, row2, d.methodWidth, h};
    l.lMethod = {l.tMethod.left - kGap - d.methodLabelWidth, row2, d.methodLabelWidth, h};
    l.topic = {boxLeft, row2, l.lMethod.left - kGap - boxLeft, h};
    // Browse mode's one row, in the place of the first.
    l.adr = {kRowLeft, row1, d.labelWidth, h};
    l.url = {boxLeft, row1, l.rightEdge - boxLeft, h};

    const int treeTop = row1 + h + kGap;
    l.tree = {0, treeTop, d.treeWidth, d.statusTop - treeTop};
    l.web = {l.tree.right() + kGap, treeTop, l.rightEdge - l.tree.right() - kGap, l.tree.height};

    const int listTop = row2 + h + kGap;
    l.fullListHeight = d.statusTop - listTop;
    l.previewListHeight = l.fullListHeight / 2;
    l.list = {0, listTop, l.rightEdge, l.fullListHeight};
    l.web2 = {0, listTop + l.previewListHeight + kGap, l.rightEdge, l.previewListHeight};
    return l;
}

bool Form_Resize(Layout &l, int width, int height, bool previewShown, int *movedRight)
{
    if (movedRight)
        *movedRight = 0;
    if (width < l.minWidth || height < l.minHeight)
        return false;
    const int rightEdge = width - kRightMargin;
    const int statusTop = height - l.bottomBand;
    if (rightEdge == l.rightEdge && statusTop == l.statusTop)
        return false;
    const int dx = rightEdge - l.rightEdge;
    const int dy = statusTop - l.statusTop;
    l.rightEdge = rightEdge;
    l.statusTop = statusTop;

    l.finder.left += dx;
    for (Box *b : {&l.tool, &l.url, &l.word, &l.topic, &l.web, &l.list, &l.web2})
        b->width += dx;
    for (Box *b : {&l.search, &l.lMethod, &l.tMethod})
        b->left += dx;
    l.tree.height += dy;
    l.web.height += dy;

    l.fullListHeight += dy;
    l.web2.height = l.fullListHeight - l.previewListHeight - kGap;
    SetPreviewShown(l, previewShown);
    if (movedRight)
        *movedRight = dx;
    return true;
}

void SetPreviewShown(Layout &l, bool shown)
{
    l.list.height = shown ? l.previewListHeight : l.fullListHeight;
}

void UpdateSplitterZone(Layout &l, Mode mode, bool previewShown)
{
    if (mode == Mode::Browse) {
        l.zone = {l.tree.right(), l.web.left, l.tree.top, l.web.bottom()};
    } else {
        // Without the preview pane the zone runs backwards and holds no point.
        const int yTo = previewShown ? l.web2.top : l.list.bottom() - 10;
        l.zone = {l.list.left, l.list.right(), l.list.bottom(), yTo};
    }
    l.dragging = false;
}

bool SplitterDown(Layout &l, int x, int y)
{
    if (!l.zone.holds(x, y))
        return false;
    l.dragX = x;
    l.dragY = y;
    l.dragging = true;
    return true;
}

void SplitterGrab(Layout &l, int x, int y)
{
    l.dragX = x;
    l.dragY = y;
    l.dragging = true;
}

void SplitterFollow(Layout &l, const Layout &pressed, Mode mode, bool previewShown, int x, int y)
{
    l = pressed;
    ApplySplitterDrag(l, mode, previewShown, x - pressed.dragX, y - pressed.dragY);
    SplitterGrab(l, pressed.dragX, pressed.dragY);
}

Box SplitterHandle(const Layout &l, Mode mode, bool previewShown)
{
    // The zone proper, edge to edge; a press counts strictly inside it.
    if (mode == Mode::Browse) {
        const int gap = l.web.left - l.tree.right();
        const int across = std::max(gap, kPaneMin);
        return {l.tree.right() + gap / 2 - across / 2, l.tree.top, across,
                l.web.bottom() - l.tree.top};
    }
    if (!previewShown)
        return {};
    const int gap = l.web2.top - l.list.bottom();
    const int across = std::max(gap, kPaneMin);
    return {l.list.left, l.list.bottom() + gap / 2 - across / 2, l.list.width, across};
}

bool SplitterUp(Layout &l, Mode mode, bool previewShown, int x, int y)
{
    if (!l.dragging)
        return false;
    ApplySplitterDrag(l, mode, previewShown, x - l.dragX, y - l.dragY);
    return true;
}

void ApplySplitterDrag(Layout &l, Mode mode, bool previewShown, int dx, int dy)
{
    // The first pane never gets below kPaneMin. The second is cut back to kPaneMin only when
    // the drag would take more than its whole size: a drag that takes nearly all of it leaves
    // it as small as the drag makes it.
    if (mode == Mode::Browse) {
        int d = dx;
        if (l.tree.width + d < kPaneMin)
            d = kPaneMin - l.tree.width;
        if (d > l.web.width)
            d = l.web.width - kPaneMin;
        l.tree.width += d;
        l.web.width -= d;
        l.web.left += d;
    } else {
        int d = dy;
        if (l.list.height + d < kPaneMin)
            d = kPaneMin - l.list.height;
        if (l.web2.height < d)
            d = l.web2.height - kPaneMin;
        l.list.height += d;
        l.previewListHeight = l.list.height;
        l.web2.height -= d;
        l.web2.top += d;
    }
    UpdateSplitterZone(l, mode, previewShown);
}

void RestoreSplits(Layout &l, Mode mode, bool previewShown, int previewListHeight, int treeWidth)
{
    if (previewListHeight > 0) {
        const int most = std::max(kPaneMin, l.fullListHeight - kGap - kPaneMin);
        const int h = std::clamp(previewListHeight, kPaneMin, most);
        l.previewListHeight = h;
        l.web2.top = l.list.top + h + kGap;
        l.web2.height = l.fullListHeight - h - kGap;
        l.list.height = previewShown ? h : l.fullListHeight;
    }
    if (treeWidth > 0) {
        const int most = std::max(kPaneMin, l.web.right() - kGap - kPaneMin - l.tree.left);
        const int w = std::clamp(treeWidth, kPaneMin, most);
        const int d = w - l.tree.width;
        l.tree.width += d;
        l.web.width -= d;
        l.web.left += d;
    }
    UpdateSplitterZone(l, mode, previewShown);
}

} // namespace layout
