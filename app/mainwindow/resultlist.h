// The main window's list view LView with the keys a list needs: Enter opens the current row,
// the Menu key and Shift+F10 ask for its pop-up menu, and a key that moves the current row
// says so, so that the preview can follow the keyboard as it follows the mouse.
#pragma once

#include <QTreeWidget>

class ResultList : public QTreeWidget {
    Q_OBJECT

public:
    explicit ResultList(QWidget *parent = nullptr);

Q_SIGNALS:
    // Enter or Return on the current row: what a double click does.
    void rowOpened(QTreeWidgetItem *item);
    // The pop-up menu asked for from the keyboard, for the current row (now selected), to be
    // shown at globalPos.
    void menuRequested(QTreeWidgetItem *item, const QPoint &globalPos);
    // A key made another row the current one.
    void keyMoved(QTreeWidgetItem *item);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void requestMenu();
};
