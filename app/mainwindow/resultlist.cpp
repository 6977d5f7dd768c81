#include "mainwindow/resultlist.h"

#include <QContextMenuEvent>
#include <QKeyEvent>

ResultList::ResultList(QWidget *parent) : QTreeWidget(parent)
{
}

void ResultList::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && modifiers == Qt::NoModifier) {
        if (QTreeWidgetItem *item = currentItem())
            Q_EMIT rowOpened(item);
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
    QTreeWidgetItem *before = currentItem();
    QTreeWidget::keyPressEvent(event);
    if (QTreeWidgetItem *now = currentItem(); now && now != before)
        Q_EMIT keyMoved(now);
}

void ResultList::contextMenuEvent(QContextMenuEvent *event)
{
    // The mouse's menu comes on the right button's release (the window watches the buttons).
    if (event->reason() != QContextMenuEvent::Keyboard) {
        QTreeWidget::contextMenuEvent(event);
        return;
    }
    requestMenu();
    event->accept();
}

void ResultList::requestMenu()
{
    QTreeWidgetItem *item = currentItem();
    if (!item)
        return;
    // The menu's entries act on the selected row: the row the keyboard is on becomes it.
    setCurrentItem(item);
    item->setSelected(true);
    scrollToItem(item);
    const QRect row = visualItemRect(item);
    Q_EMIT menuRequested(item,
                         viewport()->mapToGlobal(QPoint(row.left() + row.height(), row.bottom())));
}
