// msgform: the small notice "中止の準備中です。しばらくお待ちください。" that a stop shows
// while it waits for the run's threads. Modeless; a click in it or any key hides it.
#pragma once

#include <QDialog>

class QLineEdit;

class MsgForm : public QDialog {
    Q_OBJECT

public:
    explicit MsgForm(QWidget *parent = nullptr);

    QLineEdit *msg = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
