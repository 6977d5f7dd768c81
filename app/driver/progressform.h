// What the two progress windows (Searching, Confirm) share: a three-column table, a summary
// label, a text box, the stop and close buttons, a picture, and the open flag that tells the
// driver whether the window takes updates.
#pragma once

#include <QDialog>
#include <QStringList>

class QLabel;
class RunController;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QVBoxLayout;

class ProgressForm : public QDialog {
    Q_OBJECT

public:
    // Clears the rows and columns and adds three columns with these headers, column c being
    // the table's width divided by the window's divisor for c. The columns keep their shares
    // when the window is resized, until the user drags a column's edge.
    void Init_Table(const QStringList &headers);
    void Add_Table(const QStringList &row);
    void Sub1_Table(int row, const QString &text); // nothing when the row doesn't exist
    void Sub2_Table(int row, const QString &text);
    void setCellTip(int row, int column, const QString &tip); // nothing without the row
    QString cell(int row, int column) const;
    int rowCount() const;

    // Set when the window is made, activated or focused; cleared when it is closed and by
    // the driver at the start of a run. Hiding with cmdOK leaves it set.
    bool openFlag = true;

    QTreeWidget *Table = nullptr;
    QPushButton *cmdExit = nullptr;
    QPushButton *cmdOK = nullptr;
    QLabel *Picture1 = nullptr;

protected:
    // The window follows the run of this controller, which must outlive it.
    ProgressForm(const QString &name, const QString &caption, QList<int> divisors,
                 RunController &run, QWidget *parent);
    RunController &run() const { return run_; }
    // The layout below the table, for the window's own label, text box and bar.
    QVBoxLayout *body() const { return body_; }

    virtual void onActivated() = 0;   // refresh from the run tables
    virtual bool running() const = 0; // a run of the window's kind goes on
    virtual void onStop() = 0;        // cmdExit

    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    // Esc stops the window's run, as 中止 does; with none going it closes the window.
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // Each column its share of the table's width, as the window's width is now.
    void fitColumns();

    RunController &run_;
    QList<int> divisors_;
    bool fitting_ = false;
    bool columnsDragged_ = false; // the user set a column's width: the window leaves them
    QVBoxLayout *body_ = nullptr;
};
