// Form1's place across sessions: size and position, the two splits and the shares of the
// result columns, read at start-up and written by the orderly end (see windowmemory.h).
#include "mainwindow/form1.h"
#include "mainwindow/windowmemory.h"

#include <QScreen>
#include <QWidget>

void Form1::restorePlace()
{
    const WindowMemory memory = ReadWindowMemory();
    if (memory.geometry.isEmpty() || !restoreGeometry(memory.geometry)) {
        // The first start: a share of the screen the window is on, centred, rather than the
        // design size in a corner. The share leaves room for the frame, which is not known
        // before the window is shown.
        if (const QScreen *on = screen())
            setGeometry(FirstPlace(on->availableGeometry(), minimumSize()));
    }
    resultShares_ = memory.resultShares;
    keptPreviewHeight_ = memory.previewListHeight;
    keptTreeWidth_ = memory.treeWidth;
    setMerging(memory.merging);
}

void Form1::restoreSplits()
{
    // The splits are measured against the window's final size, so they come back only once
    // the window is shown at its restored size.
    layout::RestoreSplits(layout_, layoutMode, PreviewShown, keptPreviewHeight_, keptTreeWidth_);
    keptPreviewHeight_ = 0;
    keptTreeWidth_ = 0;
    placeControls();
}

void Form1::savePlace() const
{
    WindowMemory memory;
    memory.geometry = saveGeometry();
    memory.previewListHeight = layout_.previewListHeight;
    memory.treeWidth = layout_.tree.width;
    memory.resultShares = resultShares_;
    memory.merging = merging();
    WriteWindowMemory(memory);
}
