// The program's message boxes. Every question and failure message goes through MsgBox so the
// title rule holds everywhere and tests can answer boxes without a user.
#pragma once

#include <QList>
#include <QMessageBox>
#include <QString>

// Shows a modal message box and returns the button chosen. An empty title gives the program's
// name "Velmora". The parent is the active window when there is one. defaultButton is the one
// Enter presses; NoButton leaves the toolkit's choice (the first accepting button, so Yes of a
// Yes/No question). A question whose Yes throws something away passes No here.
QMessageBox::StandardButton
MsgBox(const QString &text, QMessageBox::StandardButtons buttons = QMessageBox::Ok,
       const QString &title = QString(), QMessageBox::Icon icon = QMessageBox::NoIcon,
       QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

class Session;

// Shows each notice of the session's stores in an Ok-only message box (its title, an icon for
// its level) at the moment it is given.
void ShowNotices(Session &session);

namespace msgbox {

// One box as it was asked for.
struct Shown {
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton answer;
    QMessageBox::StandardButton defaultButton;
};

// Test hook: the next box is not shown but answered with this button. Calls queue up; each
// box takes the oldest queued answer.
void setNextAnswer(QMessageBox::StandardButton answer);

// Test hook: while on, a box with no queued answer is not shown either; it answers with its
// escape button (No, Cancel, else Ok). Keeps an offscreen test from blocking on a stray box.
void setAutoAnswer(bool on);

// Every box asked for since the last clearShown(), oldest first (kept whether shown or
// answered by the hooks).
const QList<Shown> &shown();
void clearShown();

// Queued answers not yet used.
int pendingAnswers();

} // namespace msgbox
