#include "mainwindow/resultlist.h"

#include <QContextMenuEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>

ResultList::ResultList(QWidget *parent) : QTreeView(parent)
{
}

void ResultList::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && modifiers == Qt::NoModifier) {
        if (const QModelIndex current = currentIndex(); current.isValid())
            Q_EMIT rowOpened(current);
        event->accept();
        return;
    }
    // Some platforms turn the Menu key into a context-menu event of their own as well; the
    // window shows the menu only once.
    if ((key == Qt::Key_Menu && modifiers == Qt::NoModifier) ||
        (key == Qt::Key_F10 && modifiers == Qt::ShiftModifier)) {
        requestMenu();
        event->accept();
        return;
    }
    const int before = currentIndex().row();
    QTreeView::keyPressEvent(event);
    if (const QModelIndex now = currentIndex(); now.isValid() && now.row() != before)
        Q_EMIT keyMoved(now);
}

void ResultList::contextMenuEvent(QContextMenuEvent *event)
{
    // The mouse's menu comes on the right button's release (the window watches the buttons).
    if (event->reason() != QContextMenuEvent::Keyboard) {
        QTreeView::contextMenuEvent(event);
        return;
    }
    requestMenu();
    event->accept();
}

void ResultList::requestMenu()
{
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return;
    // The menu's entries act on the selected row: the row the keyboard is on becomes it.
    setCurrentIndex(current);
    selectionModel()->select(current, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    scrollTo(current);
    const QRect row = visualRect(current);
    Q_EMIT menuRequested(current,
                         viewport()->mapToGlobal(QPoint(row.left() + row.height(), row.bottom())));
}
