// How the user left the main window: its size and place, the two splits, the shares of the
// result list's columns and whether it merged the hits of the same page. Kept in "window.ini"
// beside the user's topics and settings (the user's configuration folder), apart from
// STARTUP.DAT, whose format is fixed.
#pragma once

#include <QByteArray>
#include <QList>
#include <QRect>

struct WindowMemory {
    QByteArray geometry;       // as QWidget::saveGeometry gives it; empty: none kept
    int previewListHeight = 0; // twips; 0: none kept
    int treeWidth = 0;         // twips; 0: none kept
    QList<int> resultShares;   // the result columns' shares of the list's width, per mille;
                               // empty: the built-in 4 : 2 : 6 : 1 : 1 : 1 : 1
    bool merging = false;      // "重複をまとめる": off unless the user turned it on
};

WindowMemory ReadWindowMemory();
void WriteWindowMemory(const WindowMemory &memory);

// Shares read back from a file a person may have edited: seven, each 1 to kMostShare;
// anything else is dropped (empty). Together they may pass 1000: columns dragged wider than
// the list keep their widths.
inline constexpr int kMostShare = 4000;
QList<int> CheckedResultShares(const QList<int> &shares);

// Where the window opens when none is kept: about two thirds of the screen's free area each
// way, never less than least (the window's smallest size) unless the screen is smaller,
// centred on that area.
QRect FirstPlace(const QRect &available, const QSize &least);
