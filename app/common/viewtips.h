// Reading what a narrow column or chooser cuts off: the full text of a cut-off cell as its
// tool tip, and choosers that elide long entries instead of growing with them.
#pragma once

#include <QString>
#include <QVariant>

#include <functional>

class QAbstractItemView;
class QComboBox;
class QModelIndex;

// The full text of a cell whose text doesn't fit the part of it on screen; empty when it
// fits (or when the cell has no text).
QString CutOffText(const QAbstractItemView *view, const QModelIndex &index);

// A tool tip that shows text from a page, a file or a server as written. A tool tip reads
// anything that looks like markup as markup: a title holding <img src="file:///dev/zero">
// would make it read a device or a local picture.
QString PlainTip(const QString &text);

// From now on the view shows a cut-off cell's full text as its tool tip. Cells that carry a
// tool tip of their own keep it.
void ShowCutOffTips(QAbstractItemView *view);

// The chooser and its drop-down list stay at most widthChars average characters wide; a
// longer entry is elided in the middle, and its full text is the drop-down row's tool tip.
void ElideChooser(QComboBox *box, int widthChars);

// From now on pointing at the picture of a row's first cell shows what that picture means:
// meaning gets the cell's value of role and gives the text (empty: no tool tip). Pointing at
// the rest of the cell is left to the other tool tips.
void ShowPictureTips(QAbstractItemView *view, int role,
                     std::function<QString(const QVariant &)> meaning);
