#include "mainwindow/msgform.h"

#include <QEvent>
#include <QLineEdit>
#include <QPointer>
#include <QVBoxLayout>

MsgForm::MsgForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("msgform"));
    setWindowTitle(QStringLiteral("中止準備中"));
    setModal(false);
    msg = new QLineEdit(this);
    msg->setObjectName(QStringLiteral("msg"));
    msg->setReadOnly(true);
    msg->setText(QStringLiteral("中止の準備中です。しばらくお待ちください。"));
    msg->setMinimumWidth(360);
    // A notice, not a field: no frame, the window's own background, no text cursor.
    msg->setFrame(false);
    msg->setAlignment(Qt::AlignCenter);
    msg->setCursor(Qt::ArrowCursor);
    QPalette quiet = msg->palette();
    quiet.setBrush(QPalette::Base, quiet.brush(QPalette::Window));
    msg->setPalette(quiet);
    msg->installEventFilter(this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->addWidget(msg);
}

bool MsgForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == msg &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::KeyPress)) {
        hide();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
