// What the window tests do with keyboard and mouse: type any text, click a row's check box,
// and act inside a modal dialog once it is on screen.
#pragma once

#include <QDialog>
#include <QTextDocument>
#include <QTreeWidget>
#include <QtTest>

#include <functional>

namespace driving {

// Types text key by key, as a keyboard with an input method does (QTest::keyClicks knows
// only ASCII keys).
inline void typeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key(0), QString(c), Qt::NoModifier);
}

// Clicks the check box of a row where the user would click it.
inline void clickCheck(QTreeWidget *view, QTreeWidgetItem *item)
{
    view->scrollToItem(item);
    QStyleOptionViewItem option;
    option.initFrom(view->viewport());
    option.rect = view->visualRect(view->indexFromItem(item, 0));
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    option.text = item->text(0);
    const QRect box =
        view->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, view);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, box.center());
}

// Runs fn once the dialog is on screen, inside the modal loop that opened it. After ten
// seconds without the dialog, or with fn leaving it open, the dialog is hidden so a broken
// window fails its test instead of hanging it.
inline void whenShown(QDialog *dialog, std::function<void()> fn)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    QElapsedTimer clock;
    clock.start();
    QObject::connect(timer, &QTimer::timeout, [timer, dialog, fn, clock] {
        const bool late = clock.elapsed() >= 10000;
        if (!dialog->isVisible() && !late)
            return;
        timer->stop();
        timer->deleteLater();
        if (dialog->isVisible() && !late)
            fn();
        if (late)
            dialog->hide();
    });
    timer->start();
}

} // namespace driving

// The characters a tool tip shows for its text, read as a tool tip reads it: markup when it
// looks like markup (a picture is one object-replacement character), plain text otherwise.
inline QString TipShownAs(const QString &tip)
{
    QTextDocument document;
    if (Qt::mightBeRichText(tip))
        document.setHtml(tip);
    else
        document.setPlainText(tip);
    return document.toPlainText();
}
