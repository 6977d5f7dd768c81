// The message form against a local maker's server: the body byte for byte as the server
// receives it, the transfer states in the status bar, busy handling and the close question.
#include "common/messagebox.h"
#include "core/encoding.h"
#include "core/makerhost.h"
#include "core/progdir.h"
#include "sandbox.h"
#include "update/messagebody.h"
#include "update/tohalvane.h"
#include "update/transferstate.h"
#include "updatefarm.h"

#include <QApplication>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTimer>
#include <QtTest>

#include <memory>

using testsupport::UpdateFarm;

namespace {

const QString kArrived =
    QStringLiteral("送信内容はHalvaneサーバに届きました。ありがとうございます。");

// The "SendTime=" line the library put into a received body, CR LF included.
QByteArray sendTimeLine(const QByteArray &body)
{
    const QRegularExpressionMatch match =
        QRegularExpression(R"(SendTime=\d{4}\.\d\d\.\d\d\.\d\d:\d\d:\d\d\r\n)")
            .match(QString::fromLatin1(body));
    return match.captured(0).toLatin1();
}

QList<int> statesOf(QNetworkReply *reply)
{
    auto states = std::make_shared<QList<int>>();
    WatchTransfer(reply, [states](int state) { states->append(state); });
    // Connected after the watcher: once it has heard the end, so has the watcher.
    QSignalSpy finished(reply, &QNetworkReply::finished);
    if (!QTest::qWaitFor([&finished] { return finished.count() > 0; }, 10000))
        return {-1};
    return *states;
}

} // namespace

class ToHalvaneTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void bodyArrivesByteForByte();
    void withoutReleaseTheBlockGoesStraightToSettings();
    void blockIsCutAt16000Bytes();
    void blockReadsTheUsersFilesFromTheirFolders();
    void stateTexts_data();
    void stateTexts();
    void statesFollowTheTransfer();
    void errorKeepsTheFormBusyButSendable();
    void secondSendWhileOnItsWayIsRefused();
    void closeAsksOnlyWhenThereIsText();
    void closeBoxDiscardsEverything();
    void withoutMakerHostSendIsDisabled();

private:
    ToHalvane &form();
    void fill(const QString &name, const QString &address, const QString &text);
    void send();
    QString status() const;

    std::unique_ptr<testsupport::Sandbox> sandbox_;
    std::unique_ptr<UpdateFarm> farm_;
    std::unique_ptr<ToHalvane> form_;
};

void ToHalvaneTest::initTestCase()
{
    msgbox::setAutoAnswer(true);
}

void ToHalvaneTest::init()
{
    sandbox_ = std::make_unique<testsupport::Sandbox>();
    farm_ = std::make_unique<UpdateFarm>();
    SetMakerHost(QString::fromStdString(farm_->host()));
    msgbox::clearShown();
}

void ToHalvaneTest::cleanup()
{
    form_.reset();
    farm_.reset();
    SetMakerHost(QString());
    setProgramDir(QString());
    sandbox_.reset();
}

// No maker's host configured: "送信" is disabled and its tool tip says why; nothing is sent.
void ToHalvaneTest::withoutMakerHostSendIsDisabled()
{
    setProgramDir(QString::fromStdString(sandbox_->path().string()));
    SetMakerHost(QString());
    QVERIFY(MakerHost().isEmpty());
    fill(QStringLiteral("n"), QStringLiteral("m"), QStringLiteral("text"));
    auto *sendButton = form().findChild<QPushButton *>("cSend");
    QVERIFY(!sendButton->isEnabled());
    QVERIFY(sendButton->toolTip().contains(QStringLiteral("アドレスが設定されていない")));
    send();
    QCOMPARE(status(), QString());
    QCOMPARE(farm_->messages().size(), std::size_t(0));
}

ToHalvane &ToHalvaneTest::form()
{
    if (!form_) {
        form_ = std::make_unique<ToHalvane>();
        form_->show();
    }
    return *form_;
}

void ToHalvaneTest::fill(const QString &name, const QString &address, const QString &text)
{
    form().findChild<QLineEdit *>("TBName")->setText(name);
    form().findChild<QLineEdit *>("TBAdr")->setText(address);
    form().findChild<QPlainTextEdit *>("TBMail")->setPlainText(text);
}

void ToHalvaneTest::send()
{
    form().findChild<QPushButton *>("cSend")->click();
}

QString ToHalvaneTest::status() const
{
    return form_->findChild<QStatusBar *>("Status")->currentMessage();
}

void ToHalvaneTest::bodyArrivesByteForByte()
{
    const QByteArray release = "2001.01.01.00:00:00\r\n1>velmora.bin\r\n";
    const QByteArray settings = testsupport::encode("Title=ベルモラ\r\niTopic=0\r\n").c_str();
    sandbox_->write("release.dat", release.toStdString());
    sandbox_->write("STARTUP.DAT", settings.toStdString());
    fill(QStringLiteral("山田 太郎"), QStringLiteral("taro@example.test"),
         QStringLiteral("一行目\n2 行目 & 100%"));
    send();
    QTRY_COMPARE_WITH_TIMEOUT(status(), kArrived, 10000);
    QVERIFY(!form_->busy());

    const std::vector<testsupport::Request> requests = farm_->messageRequests();
    QCOMPARE(requests.size(), std::size_t(1));
    QCOMPARE(requests[0].method, std::string("POST"));
    QCOMPARE(requests[0].query, std::string());
    const QByteArray body = QByteArray::fromStdString(requests[0].body);
    const QByteArray timeLine = sendTimeLine(body);
    QVERIFY2(!timeLine.isEmpty(), body.constData());
    QCOMPARE(body, toCp932(QStringLiteral("SendName=山田 太郎\r\n"
                                          "SendMail=taro@example.test\r\n"
                                          "SendText=\r\n"
                                          "一行目\r\n2 行目 & 100%\r\n")) +
                       timeLine + release + settings + "\r\n");
    // The texts stay for a second message.
    QCOMPARE(form_->findChild<QLineEdit *>("TBName")->text(), QStringLiteral("山田 太郎"));
}

void ToHalvaneTest::withoutReleaseTheBlockGoesStraightToSettings()
{
    sandbox_->write("STARTUP.DAT", "Title=Velmora\r\n");
    fill(QString(), QString(), QString());
    send();
    QTRY_COMPARE_WITH_TIMEOUT(status(), kArrived, 10000);
    const QByteArray body = QByteArray::fromStdString(farm_->messages().at(0));
    QCOMPARE(body, "SendName=\r\nSendMail=\r\nSendText=\r\n\r\n" + sendTimeLine(body) +
                       "Title=Velmora\r\n\r\n");
}

void ToHalvaneTest::blockIsCutAt16000Bytes()
{
    std::string settings(20000, 's');
    for (std::size_t i = 0; i < settings.size(); i += 100)
        settings[i] = '\n';
    sandbox_->write("STARTUP.DAT", settings);
    fill(QStringLiteral("n"), QStringLiteral("m"), QStringLiteral("t"));
    send();
    QTRY_COMPARE_WITH_TIMEOUT(status(), kArrived, 10000);
    const QByteArray body = QByteArray::fromStdString(farm_->messages().at(0));
    const QByteArray head = "SendName=n\r\nSendMail=m\r\nSendText=\r\nt\r\n";
    const QByteArray timeLine = sendTimeLine(body);
    QCOMPARE(body.size(), head.size() + 16000 + 2);
    QCOMPARE(body, head + timeLine +
                       QByteArray::fromStdString(settings).left(16000 - timeLine.size()) + "\r\n");
}

// Installed, the settings and the release record live in two of the user's folders and the
// program directory holds only the delivered defaults: the block carries the user's files,
// and the program directory stays the current directory.
void ToHalvaneTest::blockReadsTheUsersFilesFromTheirFolders()
{
    const QString data = QString::fromStdString(sandbox_->path().string());
    sandbox_->write("STARTUP.DAT", "Title=delivered\r\n");
    sandbox_->write("release.dat", "delivered\r\n");
    QVERIFY(QDir().mkpath(data + "/config") && QDir().mkpath(data + "/user"));
    sandbox_->write("config/STARTUP.DAT", "Title=mine\r\n");
    sandbox_->write("user/release.dat", "2001.01.01.00:00:00\r\n");
    setProgramPlaces({data, data + "/config", data + "/user", false});

    const QByteArray block = InstallationBlock();
    QCOMPARE(block, sendTimeLine(block) + "2001.01.01.00:00:00\r\nTitle=mine\r\n");
    QCOMPARE(QDir::currentPath(), data);
}

void ToHalvaneTest::stateTexts_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("text");
    const char *const texts[] = {
        "準備中です",    "アドレスを調べています", "アドレスを見つけました", "接続中です",
        "接続しました",  "送信しています",         "送信しました",           "受信しています",
        "受信しました",  "接続を解除しています",   "接続を解除しました",     "通信エラー",
        "すべて受信完了"};
    for (int i = 0; i < 13; ++i)
        QTest::addRow("%d", i) << i << QString::fromUtf8(texts[i]);
    QTest::newRow("-1") << -1 << QStringLiteral("unknown");
    QTest::newRow("13") << 13 << QStringLiteral("unknown");
}

void ToHalvaneTest::stateTexts()
{
    QFETCH(int, state);
    QFETCH(QString, text);
    QCOMPARE(StateText(state), text);
}

void ToHalvaneTest::statesFollowTheTransfer()
{
    QNetworkAccessManager manager;
    QNetworkRequest request{QUrl(MakerUrl(kMessagePath))};
    request.setHeader(QNetworkRequest::ContentTypeHeader, "text/plain");
    QCOMPARE(statesOf(manager.post(request, QByteArray("body"))),
             (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 12}));

    farm_->setMessageAnswer(testsupport::status(500));
    const QList<int> refused = statesOf(manager.post(request, QByteArray("body")));
    QCOMPARE(refused.first(), 1);
    QCOMPARE(refused.last(), 11);
    QVERIFY(!refused.contains(12));

    const QString deadHost = QStringLiteral("http://127.0.0.1:%1").arg(farm_->farm().port());
    farm_.reset();
    SetMakerHost(deadHost);
    QNetworkRequest dead{QUrl(MakerUrl(kMessagePath))};
    dead.setHeader(QNetworkRequest::ContentTypeHeader, "text/plain");
    const QList<int> unreachable = statesOf(manager.post(dead, QByteArray("body")));
    QCOMPARE(unreachable.last(), 11);
    QVERIFY(!unreachable.contains(12));
}

void ToHalvaneTest::errorKeepsTheFormBusyButSendable()
{
    farm_->setMessageAnswer(testsupport::status(500));
    fill(QStringLiteral("n"), QStringLiteral("m"), QStringLiteral("text"));
    send();
    // The error names its reason: the server's status.
    QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("通信エラー：HTTP 500"), 10000);
    // Once the send's reply is gone, nothing of it is left to change the status.
    QTRY_VERIFY(form_->findChildren<QNetworkReply *>().isEmpty());
    QCOMPARE(status(), QStringLiteral("通信エラー：HTTP 500"));
    QVERIFY(form_->busy());
    QCOMPARE(msgbox::shown().size(), 0);
    QCOMPARE(form_->findChild<QPlainTextEdit *>("TBMail")->toPlainText(), QStringLiteral("text"));

    // Closed and opened again, the form no longer reports the failed send.
    form_->hide();
    form_->show();
    QCOMPARE(status(), QString());

    farm_->setMessageAnswer(testsupport::page("OK", "text/plain"));
    send();
    QTRY_COMPARE_WITH_TIMEOUT(status(), kArrived, 10000);
    QVERIFY(!form_->busy());
    QCOMPARE(farm_->messages().size(), std::size_t(2));
}

void ToHalvaneTest::secondSendWhileOnItsWayIsRefused()
{
    farm_->setMessageAnswer(
        testsupport::page("OK", "text/plain").withDelay(std::chrono::milliseconds(300)));
    fill(QStringLiteral("n"), QStringLiteral("m"), QStringLiteral("first"));
    send();
    QTRY_VERIFY_WITH_TIMEOUT(farm_->messages().size() == 1, 10000);
    auto *text = form_->findChild<QPlainTextEdit *>("TBMail");
    text->setPlainText(QStringLiteral("refused"));
    send();
    QTRY_COMPARE_WITH_TIMEOUT(status(), kArrived, 10000);
    QCOMPARE(farm_->messages().size(), std::size_t(1));
    // Once the answer is in, the next send goes out. A refused send that had gone out anyway
    // would have reached the server before it, as the second message.
    text->setPlainText(QStringLiteral("second"));
    send();
    QTRY_VERIFY_WITH_TIMEOUT(farm_->messages().size() == 2, 10000);
    QVERIFY(QByteArray::fromStdString(farm_->messages()[1]).contains("SendText=\r\nsecond\r\n"));
}

void ToHalvaneTest::closeAsksOnlyWhenThereIsText()
{
    auto *cancel = form().findChild<QPushButton *>("cCancel");
    fill(QStringLiteral("name"), QStringLiteral("adr"), QString());
    cancel->click();
    QVERIFY(!form_->isVisible());
    QCOMPARE(msgbox::shown().size(), 0);

    form_->show();
    form_->findChild<QPlainTextEdit *>("TBMail")->setPlainText(QStringLiteral("keep me"));
    msgbox::setNextAnswer(QMessageBox::No);
    cancel->click();
    QVERIFY(form_->isVisible());
    QCOMPARE(msgbox::shown().size(), 1);
    QCOMPARE(msgbox::shown()[0].text,
             QStringLiteral("閉じたら入力内容は消去されます。よろしいですか？"));
    QCOMPARE(msgbox::shown()[0].title, QStringLiteral("終了確認"));
    QCOMPARE(msgbox::shown()[0].buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(form_->findChild<QPlainTextEdit *>("TBMail")->toPlainText(),
             QStringLiteral("keep me"));

    msgbox::setNextAnswer(QMessageBox::Yes);
    cancel->click();
    QVERIFY(!form_->isVisible());
    QCOMPARE(form_->findChild<QPlainTextEdit *>("TBMail")->toPlainText(), QString());
    QCOMPARE(form_->findChild<QLineEdit *>("TBName")->text(), QStringLiteral("name"));
    QCOMPARE(form_->findChild<QLineEdit *>("TBAdr")->text(), QStringLiteral("adr"));
}

void ToHalvaneTest::closeBoxDiscardsEverything()
{
    QPointer<ToHalvane> window; // the opener's one window, kept between openings
    auto shown = [] { return qobject_cast<ToHalvane *>(QApplication::activeModalWidget()); };
    QString nameSeen;
    QTimer::singleShot(0, [&] {
        QVERIFY(shown());
        shown()->findChild<QLineEdit *>("TBName")->setText(QStringLiteral("name"));
        shown()->findChild<QPlainTextEdit *>("TBMail")->setPlainText(QStringLiteral("text"));
        shown()->close();
    });
    ShowToHalvane(window, nullptr);
    QCOMPARE(msgbox::shown().size(), 0);
    QTimer::singleShot(0, [&] {
        nameSeen = shown()->findChild<QLineEdit *>("TBName")->text();
        shown()->findChild<QLineEdit *>("TBName")->setText(QStringLiteral("again"));
        shown()->findChild<QPushButton *>("cCancel")->click();
    });
    ShowToHalvane(window, nullptr);
    QCOMPARE(nameSeen, QString());
    // "閉じる" hid the form: the name is still there at the next opening.
    QTimer::singleShot(0, [&] {
        nameSeen = shown()->findChild<QLineEdit *>("TBName")->text();
        shown()->close();
    });
    ShowToHalvane(window, nullptr);
    QCOMPARE(nameSeen, QStringLiteral("again"));
}

QTEST_MAIN(ToHalvaneTest)
#include "tohalvane_test.moc"
