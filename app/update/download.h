// The update window "Download": shows the log of an update run, the file coming in, and the
// buttons to start, cancel and close. The run itself is UpdateRun (core/updaterun.h).
#pragma once

#include <QDialog>
#include <QPointer>

class QLabel;
class UpdateRun;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

class Download : public QDialog {
    Q_OBJECT
public:
    // The window shows runs of the session's update run, which must outlive it.
    explicit Download(UpdateRun &run, QWidget *parent = nullptr);

    // Appends one line to the log and keeps the newest line in view.
    void log(const QString &text);
    bool busy() const { return busy_; }
    // True once the close box has closed the window: its owner throws it away.
    bool discarded() const { return discarded_; }

Q_SIGNALS:
    void discardedByCloseBox();

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    void cmdDo_Click();
    void cmdCancel_Click();
    // The busy test shared by "閉じる", the close box and Escape; true when closing may go on.
    bool End_Download();

    UpdateRun &run_;
    QPlainTextEdit *msg_;
    QLabel *LBOne_;
    QProgressBar *PGOne_;
    QPushButton *cmdDo_;
    QPushButton *cmdCancel_;
    QPushButton *cmdOK_;
    bool busy_ = false;
    // Set from the start of a run to its end: the window must not go away even after a
    // cancel has cleared busy and before the run has noticed it.
    bool running_ = false;
    bool discarded_ = false;
};

// Command 16: shows the update window, modal to the whole program, and returns at once. The
// window is created at its first opening and kept while "閉じる" hides it, so its log survives
// to the next opening; the close box throws it away and a fresh window is made next time.
void ShowDownloadWindow(QPointer<Download> &window, UpdateRun &run, QWidget *parent);
