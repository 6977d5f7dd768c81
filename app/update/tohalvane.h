// The message form "ToHalvane": the user's name, mail address and message go to the maker's
// server as one POST, followed by the installation block; the status bar follows the
// transfer step by step.
#pragma once

#include <QDialog>
#include <QPointer>

class QLineEdit;
class QNetworkAccessManager;
class QNetworkReply;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;

class ToHalvane : public QDialog {
    Q_OBJECT
public:
    explicit ToHalvane(QWidget *parent = nullptr);

    bool busy() const { return busy_; }
    // True once the close box has closed the window: its owner throws it away.
    bool discarded() const { return discarded_; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void reject() override;

private:
    void cSend_Click();
    void cCancel_Click();
    void umail_StateChanged(int state);

    QLineEdit *TBName_;
    QLineEdit *TBAdr_;
    QPlainTextEdit *TBMail_;
    QPushButton *cSend_;
    QPushButton *cCancel_;
    QStatusBar *Status_;
    QNetworkAccessManager *umail_;
    // The request still on its way; a second send waits for it to finish (it is refused).
    QNetworkReply *reply_ = nullptr;
    // Why the last send failed, shown after "通信エラー".
    QString failReason_;
    bool busy_ = false;
    bool discarded_ = false;
};

// The menu entry mToHalvane: shows the message form, blocking until it is closed. "閉じる"
// only hides the form, so name and address survive to the next opening; after the close box
// a fresh, empty form is made next time.
void ShowToHalvane(QPointer<ToHalvane> &window, QWidget *parent);
