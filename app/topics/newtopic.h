// The new-topic dialog: asks for the name of a topic to create and refuses a name in use.
// Hidden, never destroyed, on close, so it shows the last text typed when opened again.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class Topics;

class NewTopic : public QDialog {
    Q_OBJECT

public:
    explicit NewTopic(Topics *owner);

    // Run by OKButton and by Enter in NewName.
    void CommitNewName();

    QLabel *Label1 = nullptr;
    QLineEdit *NewName = nullptr;
    QPushButton *OKButton = nullptr;
    QPushButton *CancelButton = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    Topics *owner_;
};
