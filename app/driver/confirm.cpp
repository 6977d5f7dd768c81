#include "driver/confirm.h"

#include "core/runcontroller.h"

#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

Confirm::Confirm(RunController &run, std::function<void()> refresh, QWidget *parent)
    : ProgressForm(QStringLiteral("Confirm"), QStringLiteral("リンク確認中"), {2, 4, 4}, run,
                   parent),
      refresh_(std::move(refresh))
{
    // The ends of an address tell most: its host and its page.
    Table->setTextElideMode(Qt::ElideMiddle);
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
    refresh_();
}

bool Confirm::running() const
{
    return run().RunState == kRunCheck;
}

void Confirm::onStop()
{
    run().Do_Stop();
}
