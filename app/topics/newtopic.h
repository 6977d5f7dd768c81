// The new-topic dialog: asks for the name of a topic to create and refuses a name in use.
// Hidden, never destroyed, on close, so it shows the last text typed when opened again.
#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

class NewTopic : public QDialog {
    Q_OBJECT

public:
    // nameFree tells whether a name may be taken; add creates the topic of a name that may.
    NewTopic(QWidget *owner, std::function<bool(const QString &)> nameFree,
             std::function<void(const QString &)> add);

    // Run by OKButton and by Enter in NewName.
    void CommitNewName();

    QLabel *Label1 = nullptr;
    QLineEdit *NewName = nullptr;
    QPushButton *OKButton = nullptr;
    QPushButton *CancelButton = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    std::function<bool(const QString &)> nameFree_;
    std::function<void(const QString &)> add_;
};
