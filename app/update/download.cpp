#include "update/download.h"

#include "common/messagebox.h"
#include "core/updaterun.h"
#include "update/controls.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kCaption = QStringLiteral("最新版プログラムのダウンロード");
const QString kOpening = QStringLiteral("ここでVelmoraの最新版プログラムがダウンロード可能です。");
const QString kPressDo = QStringLiteral("実行する場合は、ダウンロードキーを押してください。");
const QString kNoClose = QStringLiteral("ダウンロード中には閉じないてください。");
const QString kNoCloseTitle = QStringLiteral("操作無効化");

} // namespace

Download::Download(UpdateRun &run, QWidget *parent) : QDialog(parent), run_(run)
{
    setObjectName(QStringLiteral("Download"));
    setWindowTitle(kCaption);

    msg_ = new QPlainTextEdit(this);
    msg_->setObjectName(QStringLiteral("msg"));
    msg_->setReadOnly(true);
    LBOne_ = new QLabel(this);
    LBOne_->setObjectName(QStringLiteral("LBOne"));
    // File names come from the server: never markup.
    LBOne_->setTextFormat(Qt::PlainText);
    PGOne_ = new QProgressBar(this);
    PGOne_->setObjectName(QStringLiteral("PGOne"));
    PGOne_->setRange(0, 100);
    PGOne_->setValue(0);
    // The percentage inside the bar: an empty bar without it reads as an empty text box.
    PGOne_->setTextVisible(true);
    PGOne_->setFormat(QStringLiteral("%p%"));
    PGOne_->setAlignment(Qt::AlignCenter);
    cmdDo_ = makeButton(QStringLiteral("cmdDo"), QStringLiteral("ダウンロード"), this);
    cmdCancel_ = makeButton(QStringLiteral("cmdCancel"), QStringLiteral("中止"), this);
    cmdOK_ = makeButton(QStringLiteral("cmdOK"), QStringLiteral("閉じる"), this);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdDo_);
    buttons->addWidget(cmdCancel_);
    buttons->addWidget(cmdOK_);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(msg_, 1);
    layout->addWidget(LBOne_);
    layout->addWidget(PGOne_);
    layout->addLayout(buttons);
    resize(520, 360);

    connect(cmdDo_, &QPushButton::clicked, this, &Download::cmdDo_Click);
    connect(cmdCancel_, &QPushButton::clicked, this, &Download::cmdCancel_Click);
    connect(cmdOK_, &QPushButton::clicked, this, [this] {
        if (End_Download())
            hide();
    });

    connect(&run_, &UpdateRun::logged, this, &Download::log);
    connect(&run_, &UpdateRun::fileState, LBOne_, &QLabel::setText);
    connect(&run_, &UpdateRun::progress, this, [this](int value, int maximum) {
        PGOne_->setRange(0, maximum);
        PGOne_->setValue(value);
    });
    connect(&run_, &UpdateRun::finished, this, [this] {
        running_ = false;
        busy_ = false;
    });

    msg_->setPlainText(kOpening + QLatin1Char('\n'));
    log(kPressDo);
    log(QString());
}

void Download::log(const QString &text)
{
    msg_->moveCursor(QTextCursor::End);
    msg_->insertPlainText(text + QLatin1Char('\n'));
    msg_->moveCursor(QTextCursor::End);
    msg_->ensureCursorVisible();
}

void Download::cmdDo_Click()
{
    if (running_ || !run_.start())
        return;
    busy_ = true;
    running_ = true;
}

void Download::cmdCancel_Click()
{
    run_.cancel();
    busy_ = false;
}

bool Download::End_Download()
{
    if (busy_ || running_) {
        MsgBox(kNoClose, QMessageBox::Ok, kNoCloseTitle);
        return false;
    }
    return true;
}

void Download::closeEvent(QCloseEvent *event)
{
    if (!End_Download()) {
        event->ignore();
        return;
    }
    discarded_ = true;
    event->accept();
    Q_EMIT discardedByCloseBox();
}

void Download::reject()
{
    if (End_Download())
        QDialog::reject();
}

void ShowDownloadWindow(QPointer<Download> &window, UpdateRun &run, QWidget *parent)
{
    if (window == nullptr) {
        window = new Download(run, parent);
        window->setWindowModality(Qt::ApplicationModal);
        QObject::connect(window, &Download::discardedByCloseBox, window, &QObject::deleteLater);
    }
    window->show();
    window->raise();
    window->activateWindow();
}
