#include "topics/newtopic.h"

#include "common/messagebox.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

NewTopic::NewTopic(QWidget *owner, std::function<bool(const QString &)> nameFree,
                   std::function<void(const QString &)> add)
    : QDialog(owner), nameFree_(std::move(nameFree)), add_(std::move(add))
{
    setObjectName(QStringLiteral("NewTopic"));
    setWindowTitle(QStringLiteral("新規テーマ名"));
    setFixedSize(420, 120);

    Label1 = new QLabel(QStringLiteral("新規テーマ名："), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(16, 20, 110, 28);
    NewName = new QLineEdit(this);
    NewName->setObjectName(QStringLiteral("NewName"));
    NewName->setGeometry(128, 20, 276, 28);
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(196, 72, 100, 30);
    CancelButton = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setGeometry(304, 72, 100, 30);
    // Enter in NewName commits through returnPressed alone; a default button would commit
    // the same name a second time and then call it a duplicate.
    OKButton->setAutoDefault(false);
    CancelButton->setAutoDefault(false);

    connect(NewName, &QLineEdit::returnPressed, this, &NewTopic::CommitNewName);
    connect(OKButton, &QPushButton::clicked, this, &NewTopic::CommitNewName);
    connect(CancelButton, &QPushButton::clicked, this, &NewTopic::hide);
}

void NewTopic::CommitNewName()
{
    const QString name = NewName->text();
    if (!nameFree_(name)) {
        MsgBox(QStringLiteral("この名前は重複されています。変更してください。"));
        return;
    }
    add_(name);
    hide();
}

void NewTopic::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    NewName->setFocus();
}
