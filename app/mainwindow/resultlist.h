// The main window's list view LView with the keys a list needs: Enter opens the current row,
// the Menu key and Shift+F10 ask for its pop-up menu, and a key that moves the current row
// says so, so that the preview can follow the keyboard as it follows the mouse.
#pragma once

#include <QTreeView>

class ResultList : public QTreeView {
    Q_OBJECT

public:
    explicit ResultList(QWidget *parent = nullptr);

Q_SIGNALS:
    // Enter or Return on the current row: what a double click does.
    void rowOpened(const QModelIndex &index);
    // The pop-up menu asked for from the keyboard, for the current row (now selected), to be
    // shown at globalPos.
    void menuRequested(const QModelIndex &index, const QPoint &globalPos);
    // A key made another row the current one.
    void keyMoved(const QModelIndex &index);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void requestMenu();
};
