#include "update/tohalvane.h"

#include "common/messagebox.h"
#include "core/makerhost.h"
#include "update/controls.h"
#include "update/messagebody.h"
#include "update/transferstate.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {

const QString kCaption = QStringLiteral("Halvaneへ送信");
const QString kArrived =
    QStringLiteral("送信内容はHalvaneサーバに届きました。ありがとうございます。");
const QString kCloseQuestion = QStringLiteral("閉じたら入力内容は消去されます。よろしいですか？");
const QString kCloseTitle = QStringLiteral("終了確認");
const QString kNotHttps = QStringLiteral("https以外のアドレスには送信しません：");
constexpr int kError = 11;
constexpr int kComplete = 12;
// A server that stops answering ends in "通信エラー" instead of leaving the form busy.
constexpr int kTransferTimeoutMs = 30000;

// What went wrong with a request: the server's status where it answered, else the client's
// own words.
QString FailureReason(QNetworkReply *reply)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status != 0 && (status < 200 || status > 299))
        return QStringLiteral("HTTP %1").arg(status);
    return reply->errorString();
}

} // namespace

ToHalvane::ToHalvane(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ToHalvane"));
    setWindowTitle(kCaption);

    TBName_ = new QLineEdit(this);
    TBName_->setObjectName(QStringLiteral("TBName"));
    TBAdr_ = new QLineEdit(this);
    TBAdr_->setObjectName(QStringLiteral("TBAdr"));
    TBMail_ = new QPlainTextEdit(this);
    TBMail_->setObjectName(QStringLiteral("TBMail"));
    cSend_ = makeButton(QStringLiteral("cSend"), QStringLiteral("送信"), this);
    cCancel_ = makeButton(QStringLiteral("cCancel"), QStringLiteral("閉じる"), this);
    Status_ = new QStatusBar(this);
    Status_->setObjectName(QStringLiteral("Status"));
    Status_->setSizeGripEnabled(false);
    umail_ = new QNetworkAccessManager(this);
    umail_->setObjectName(QStringLiteral("umail"));

    auto *fields = new QGridLayout;
    fields->addWidget(makeLabel(QStringLiteral("LBName"), QStringLiteral("送信者お名前："), this),
                      0, 0);
    fields->addWidget(TBName_, 0, 1);
    fields->addWidget(makeLabel(QStringLiteral("LBAdr"), QStringLiteral("送信者メール："), this), 1,
                      0);
    fields->addWidget(TBAdr_, 1, 1);
    fields->addWidget(makeLabel(QStringLiteral("LBMail"), QStringLiteral("送信内容："), this), 2, 0,
                      Qt::AlignTop);
    fields->addWidget(TBMail_, 2, 1);
    fields->setRowStretch(2, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cSend_);
    buttons->addWidget(cCancel_);
    // The status bar runs along the window's bottom edge, outside the margins of the fields.
    auto *form = new QVBoxLayout;
    form->addLayout(fields, 1);
    form->addLayout(buttons);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    form->setContentsMargins(9, 9, 9, 6);
    form->setSpacing(6);
    fields->setSpacing(6);
    buttons->setSpacing(6);
    layout->addLayout(form, 1);
    layout->addWidget(Status_);
    resize(480, 360);

    connect(cSend_, &QPushButton::clicked, this, &ToHalvane::cSend_Click);
    connect(cCancel_, &QPushButton::clicked, this, &ToHalvane::cCancel_Click);
}

void ToHalvane::cSend_Click()
{
    // One request at a time: a send while the last one is on its way is refused. After an
    // error the request has ended, so the user can send again although busy stays set.
    if (reply_ != nullptr)
        return;
    const QByteArray body =
        MessageBody(TBName_->text(), TBAdr_->text(), TBMail_->toPlainText(), InstallationBlock());
    busy_ = true;
    failReason_.clear();
    const QString address = MakerUrl(kMessagePath);
    // The body holds the user's name, mail address and settings: it goes out in clear only
    // to a maker's host that is itself plain http (a local server).
    if (!MakerAddressAllowed(address)) {
        failReason_ = kNotHttps + address;
        umail_StateChanged(kError);
        return;
    }
    QNetworkRequest request{QUrl(address)};
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    // The body is lines of text as they stand, not an encoded form; saying so keeps a server
    // from parsing (and size-limiting) it as form fields.
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QByteArrayLiteral("text/plain; charset=Shift_JIS"));
    request.setTransferTimeout(kTransferTimeoutMs);
    reply_ = umail_->post(request, body);
    QNetworkReply *reply = reply_;
    WatchTransfer(reply, [this, reply](int state) {
        if (state == kError)
            failReason_ = FailureReason(reply);
        umail_StateChanged(state);
    });
    // Connected after the watcher, so state 12 is handled while the reply is still current.
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        if (reply_ == reply)
            reply_ = nullptr;
        reply->deleteLater();
    });
}

void ToHalvane::umail_StateChanged(int state)
{
    // An error names its reason: a status text alone tells the user nothing to act on.
    if (busy_)
        Status_->showMessage(state == kError && !failReason_.isEmpty()
                                 ? StateText(state) + QStringLiteral("：") + failReason_
                                 : StateText(state));
    if (state == kComplete) {
        // The answer is read so the connection is left clean; its content is not used.
        if (reply_ != nullptr)
            reply_->readAll();
        Status_->showMessage(kArrived);
        busy_ = false;
    }
}

void ToHalvane::cCancel_Click()
{
    if (!TBMail_->toPlainText().isEmpty()) {
        if (MsgBox(kCloseQuestion, QMessageBox::Yes | QMessageBox::No, kCloseTitle) !=
            QMessageBox::Yes)
            return;
        TBMail_->clear();
    }
    QDialog::reject();
}

void ToHalvane::reject()
{
    cCancel_Click();
}

void ToHalvane::showEvent(QShowEvent *event)
{
    // A new opening starts with a clean status bar: the last send's outcome belongs to that
    // send. A send still on its way keeps reporting.
    if (reply_ == nullptr)
        Status_->clearMessage();
    // Without a maker's host there is nowhere to send to: the button says so instead.
    const QString why = MakerUnavailableReason();
    cSend_->setEnabled(why.isEmpty());
    cSend_->setToolTip(why);
    QDialog::showEvent(event);
}

void ToHalvane::closeEvent(QCloseEvent *event)
{
    discarded_ = true;
    event->accept();
}

void ShowToHalvane(QPointer<ToHalvane> &window, QWidget *parent)
{
    if (window == nullptr)
        window = new ToHalvane(parent);
    window->exec();
    if (window != nullptr && window->discarded())
        delete window;
}
