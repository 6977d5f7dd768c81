#include "driver/confirm.h"

#include "driver/runcontroller.h"
#include "driver/runwindows.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QVBoxLayout>

Confirm::Confirm(QWidget *parent)
    : ProgressForm(QStringLiteral("Confirm"), QStringLiteral("リンク確認中"), {2, 4, 4}, parent)
{
    LBCheck = new QLabel(this);
    LBCheck->setObjectName(QStringLiteral("LBCheck"));
    LBCheck->setTextFormat(Qt::PlainText);
    TBCheck = new QLineEdit(this);
    TBCheck->setObjectName(QStringLiteral("TBCheck"));
    TBCheck->setReadOnly(true);
    body()->addWidget(LBCheck);
    body()->addWidget(TBCheck);
}

void Confirm::Init_Form()
{
    Init_Table({QStringLiteral("URL"), QStringLiteral("確認結果"), QStringLiteral("時間(秒)")});
    TBCheck->clear();
    LBCheck->clear();
}

void Confirm::onActivated()
{
    RefreshConfirm();
}

bool Confirm::running() const
{
    return runController().RunState == kRunCheck;
}

void Confirm::onStop()
{
    runController().Do_Stop();
}

Confirm *ConfirmForm()
{
    // Owned by the main window; made again if a main window went away with it.
    static QPointer<Confirm> form;
    if (!form)
        form = new Confirm(progressOwner());
    return form;
}
