// The main window's layout as arithmetic on rectangles, in twips (15 to the device-independent
// pixel at 96 DPI): where every control goes at start-up, how they follow a resize, where the
// splitter between the panes can be grabbed and how far a drag moves it. No window here: Form1
// measures its controls, asks these functions, and places the controls where they say.
//
// Coordinates are those of the window's surface (the area under the menu bar); "the window's
// height" is the whole client height, menu bar included, so the band below the status bar's
// top also covers the menu bar and stays fixed while the window is resized.
#pragma once

namespace layout {

struct Box {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int right() const { return left + width; }
    int bottom() const { return top + height; }
    bool operator==(const Box &) const = default;
};

// The splitter's hit zone; a press counts only strictly inside it.
struct Zone {
    int xFrom = 0;
    int xTo = 0;
    int yFrom = 0;
    int yTo = 0;
    bool holds(int x, int y) const { return x > xFrom && x < xTo && y > yFrom && y < yTo; }
};

enum class Mode { Search, Browse };

// The sizes the controls are designed at, measured by the window, and the window's own.
struct Design {
    int width = 0;  // initial window width
    int height = 0; // initial window height
    int statusTop = 0;
    int toolHeight = 0; // 0 while there is no toolbar
    int finderWidth = 0;
    int finderHeight = 0;
    int rowHeight = 0;        // one row of boxes, lists and buttons
    int labelWidth = 0;       // LWord, LTopic and ADR
    int methodLabelWidth = 0; // LMethod
    int methodWidth = 0;      // TMethod
    int searchWidth = 0;      // the Search button
    int treeWidth = 0;
};

// The left margin of the rows and the gap between controls and between rows.
constexpr int kRowLeft = 120;
constexpr int kGap = 50;
// The right margin, the gap before the animation, and a splitter pane's least size.
constexpr int kRightMargin = 120;
constexpr int kToolGap = 20;
constexpr int kPaneMin = 64;

struct Layout {
    // Values kept by the window.
    int rightEdge = 0;
    int statusTop = 0;
    int bottomBand = 0;
    int minWidth = 0;
    int minHeight = 0;
    int fullListHeight = 0;
    int previewListHeight = 0; // the list's height while the preview pane is shown

    Box finder, tool;
    Box lWord, word, search;             // search face, first row
    Box lTopic, topic, lMethod, tMethod; // search face, second row
    Box adr, url;                        // browse face's row
    Box tree, web;                       // browse face
    Box list, web2;                      // search face

    Zone zone;
    bool dragging = false;
    int dragX = 0;
    int dragY = 0;
};

// Twips to the device-independent pixel for a screen DPI (15 at 96).
int TwipsPerPixel(int dpi);

// Every control placed for the initial window size.
Layout InitLayout(const Design &design);

// The window now has this size. Nothing moves while it is below the minimum size or when
// neither the right edge nor the status top changed; otherwise the controls follow and
// the preview pane takes the change in height, the list keeping its own. Returns dx, the
// change of the right edge (the list's columns need refitting when it is not 0), through
// movedRight; returns whether anything moved.
bool Form_Resize(Layout &l, int width, int height, bool previewShown, int *movedRight = nullptr);

// The list's height as the preview pane is shown or hidden.
void SetPreviewShown(Layout &l, bool shown);

// Recomputes the hit zone for the mode and clears the dragging flag.
void UpdateSplitterZone(Layout &l, Mode mode, bool previewShown);

// A mouse press at (x, y) on the surface: starts a drag when strictly inside the zone.
bool SplitterDown(Layout &l, int x, int y);
// A press on the splitter's handle: starts a drag at (x, y) wherever the handle was caught.
void SplitterGrab(Layout &l, int x, int y);
// The mouse moved to (x, y) during a drag: the panes as a release there would leave them,
// worked out from the layout at the press (pressed), so the splitter follows the mouse.
// The drag goes on.
void SplitterFollow(Layout &l, const Layout &pressed, Mode mode, bool previewShown, int x, int y);

// Where the splitter's handle is drawn and caught: the zone, widened to kPaneMin across
// when the gap between the panes is narrower. Empty when nothing can be dragged.
Box SplitterHandle(const Layout &l, Mode mode, bool previewShown);
// The mouse released at (x, y): applies the drag begun by SplitterDown; false when none was.
bool SplitterUp(Layout &l, Mode mode, bool previewShown, int x, int y);

// Puts back splits the user made in an earlier session: the list's height while the preview
// is shown and the tree's width, each kept within what the present window allows (0 keeps
// the present one). Recomputes the zone.
void RestoreSplits(Layout &l, Mode mode, bool previewShown, int previewListHeight, int treeWidth);

// Moves the splitter by the dragged distance (dx in browse mode, dy in search mode), keeping
// the first pane at least kPaneMin; then recomputes the zone.
void ApplySplitterDrag(Layout &l, Mode mode, bool previewShown, int dx, int dy);

} // namespace layout
