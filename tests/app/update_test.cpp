// The update window against a local maker's server: what is fetched where, what
// "release.dat" holds afterwards, cancelling, and lists a hostile server might send.
#include "common/messagebox.h"
#include "core/encoding.h"
#include "core/makerhost.h"
#include "core/progdir.h"
#include "core/runcontroller.h"
#include "sandbox.h"
#include "sessionfixture.h"
#include "update/download.h"
#include "updatefarm.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

using testsupport::UpdateFarm;

namespace {

const QString kOpening = QStringLiteral("ここでVelmoraの最新版プログラムがダウンロード可能です。\n"
                                        "実行する場合は、ダウンロードキーを押してください。\n\n");
const QString kChecking = QStringLiteral("製品の最新情報をチェックしております....\n");
const QString kUpToDate = QStringLiteral("\nお使いになっているプログラムは最新版です。\n"
                                         "ダウンロードするものがありません。\n");
const QString kFinished = QStringLiteral("\nダウンロードが終わりました。\n"
                                         "新しい内容はVelmoraが再起動してから有効になります。\n");

std::string bytesOf(int size, char seed)
{
    std::string bytes(static_cast<std::size_t>(size), seed);
    for (int i = 0; i < size; ++i)
        bytes[static_cast<std::size_t>(i)] = static_cast<char>(seed + i % 13);
    return bytes;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Clicks the button as soon as the condition holds; polled while the run handles events.
void clickWhen(std::function<bool()> condition, QPushButton *button)
{
    auto *timer = new QTimer(button);
    timer->setInterval(2);
    QObject::connect(timer, &QTimer::timeout, button, [timer, condition, button] {
        if (!condition())
            return;
        timer->stop();
        timer->deleteLater();
        button->click();
    });
    timer->start();
}

} // namespace

class UpdateTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Session> session_ = sessionfixture::fresh();

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void freshInstallFetchesEveryFile();
    void recordedFilesAreComparedCaseBlind();
    void upToDateLeavesTheRecordAlone();
    void emptyAnswerFetchesNothing();
    void serverErrorIsReportedNotTakenForUpToDate();
    void compressedBombListIsRefused();
    void cancelMidFileRemovesThePartAndKeepsTheRecord();
    void hostileListWritesNothingOutsideUpdate();
    void fullRecordSkipsNewFilesOnly();
    void busyWindowRefusesToClose();
    void runOnlyWhenIdle();
    void windowKeepsItsLogUntilTheCloseBox();

private:
    Download &window();
    QString program(const QString &name) const { return dir_ + QLatin1Char('/') + name; }
    QString log() const;
    QString lbOne() const;
    void runUpdate();
    void waitForEnd();
    QStringList programFiles() const;

    std::unique_ptr<testsupport::Sandbox> sandbox_;
    std::unique_ptr<UpdateFarm> farm_;
    std::unique_ptr<Download> window_;
    QString dir_;
};

void UpdateTest::initTestCase()
{
    msgbox::setAutoAnswer(true);
}

void UpdateTest::init()
{
    session_ = sessionfixture::fresh();
    sandbox_ = std::make_unique<testsupport::Sandbox>();
    // The program directory is a folder inside the sandbox, so a write beside it shows.
    dir_ = QString::fromStdString((sandbox_->path() / "program").string());
    QVERIFY(QDir().mkpath(dir_));
    setProgramDir(dir_);
    farm_ = std::make_unique<UpdateFarm>();
    SetMakerHost(QString::fromStdString(farm_->host()));
    msgbox::clearShown();
}

void UpdateTest::cleanup()
{
    window_.reset();
    farm_.reset();
    SetMakerHost(QString());
    setProgramDir(QString());
    sandbox_.reset();
}

Download &UpdateTest::window()
{
    if (!window_)
        window_ = std::make_unique<Download>(session_->update);
    return *window_;
}

QString UpdateTest::log() const
{
    return window_->findChild<QPlainTextEdit *>("msg")->toPlainText();
}

QString UpdateTest::lbOne() const
{
    return window_->findChild<QLabel *>("LBOne")->text();
}

void UpdateTest::runUpdate()
{
    window().show();
    window().findChild<QPushButton *>("cmdDo")->click();
    waitForEnd();
}

void UpdateTest::waitForEnd()
{
    QVERIFY(QTest::qWaitFor([this] { return !session_->update.busy(); }, 30000));
}

QStringList UpdateTest::programFiles() const
{
    QStringList files;
    QDirIterator it(QString::fromStdString(sandbox_->path().string()),
                    QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    const QString root = QString::fromStdString(sandbox_->path().string()) + QLatin1Char('/');
    while (it.hasNext())
        files << it.next().mid(root.size());
    files.sort();
    return files;
}

void UpdateTest::freshInstallFetchesEveryFile()
{
    const std::string binary = bytesOf(150000, 'a');
    const std::string help = testsupport::encode("<html>ヘルプ</html>");
    const std::string helpName = testsupport::encode("説明.htm");
    farm_->setList(farm_->entry("2.0", "velmora.bin", farm_->addFile("v.bin", binary), binary) +
                   farm_->entry("1", helpName, farm_->addFile("help.htm", help), help));
    runUpdate();

    QCOMPARE(log(), kOpening + kChecking +
                        QStringLiteral("\nDownloaded: velmora.bin\n"
                                       "Downloaded: 説明.htm\n"
                                       "\n2個ファイルがダウンロードされました。\n") +
                        kFinished);
    QCOMPARE(readFile(program("update/velmora.bin")), QByteArray::fromStdString(binary));
    QCOMPARE(readFile(program("update/説明.htm")), QByteArray::fromStdString(help));
    const QList<QByteArray> lines = readFile(program("release.dat")).split('\n');
    QCOMPARE(lines.size(), 4);
    QVERIFY2(QRegularExpression(R"(^\d{4}\.\d\d\.\d\d\.\d\d:\d\d:\d\d\r$)")
                 .match(QString::fromLatin1(lines[0]))
                 .hasMatch(),
             lines[0].constData());
    QCOMPARE(lines[1], QByteArray("2.0>velmora.bin\r"));
    QCOMPARE(lines[2], QByteArray("1>") + QByteArray::fromStdString(helpName) + "\r");
    QCOMPARE(lines[3], QByteArray());
    QCOMPARE(lbOne(), QStringLiteral("説明.htmをダウンロードしました。fsize=%1").arg(help.size()));
    auto *bar = window_->findChild<QProgressBar *>("PGOne");
    QCOMPARE(bar->maximum(), int(help.size()));
    QCOMPARE(bar->value(), int(help.size()));
    QCOMPARE(session_->run.RunState, kRunIdle);
    QVERIFY(!window_->busy());
    QCOMPARE(farm_->listRequests(), std::size_t(1));
    QCOMPARE(farm_->farm().requests(UpdateFarm::kListPath).at(0).query, std::string());
}

void UpdateTest::recordedFilesAreComparedCaseBlind()
{
    writeFile(program("release.dat"), "2001.01.01.00:00:00\r\n1.0a>Velmora.bin\r\n1>keep.txt\r\n"
                                      "2>Help.htm\r\n");
    const std::string newer = bytesOf(1000, 'n');
    const std::string same = bytesOf(10, 's');
    farm_->setList(farm_->entry("1.0B", "VELMORA.BIN", farm_->addFile("v", newer), newer) +
                   farm_->entry("2", "help.HTM", farm_->addFile("h", same), same));
    runUpdate();

    QVERIFY2(log().contains(QStringLiteral("最後の更新時期は2001.01.01.00:00:00です。\n\n")),
             qPrintable(log()));
    QVERIFY(log().contains(QStringLiteral("Downloaded: VELMORA.BIN\n\n1個ファイル")));
    QCOMPARE(farm_->fileRequests("h"), std::size_t(0));
    QCOMPARE(readFile(program("update/VELMORA.BIN")), QByteArray::fromStdString(newer));
    // The entry keeps its place and takes the listed version and name.
    const QByteArray record = readFile(program("release.dat"));
    QCOMPARE(record.mid(record.indexOf('\n') + 1),
             QByteArray("1.0B>VELMORA.BIN\r\n1>keep.txt\r\n2>Help.htm\r\n"));
}

void UpdateTest::upToDateLeavesTheRecordAlone()
{
    const QByteArray record = "2001.01.01.00:00:00\r\n3>a.bin\r\nx>B.BIN\r\n";
    writeFile(program("release.dat"), record);
    farm_->setList(farm_->entry("3", "A.bin", farm_->addFile("a", "aaa"), "aaa") +
                   farm_->entry("W", "b.bin", farm_->addFile("b", "bbb"), "bbb"));
    runUpdate();

    QCOMPARE(log(), kOpening + kChecking +
                        QStringLiteral("最後の更新時期は2001.01.01.00:00:00です。\n\n") +
                        kUpToDate);
    QCOMPARE(readFile(program("release.dat")), record);
    QCOMPARE(farm_->fileRequests("a") + farm_->fileRequests("b"), std::size_t(0));
    QVERIFY(!QFileInfo::exists(program("update")));
}

void UpdateTest::emptyAnswerFetchesNothing()
{
    farm_->setList(std::string());
    runUpdate();
    QCOMPARE(log(), kOpening + kChecking + QStringLiteral("\n") + kUpToDate);
    QVERIFY(!QFileInfo::exists(program("release.dat")));
}

void UpdateTest::serverErrorIsReportedNotTakenForUpToDate()
{
    const QByteArray record = "2001.01.01.00:00:00\r\n1>a.bin\r\n";
    writeFile(program("release.dat"), record);
    farm_->setListAnswer(testsupport::status(500));
    runUpdate();
    QCOMPARE(log(), kOpening + kChecking +
                        QStringLiteral("最後の更新時期は2001.01.01.00:00:00です。\n\n"
                                       "製品の最新情報を取得できませんでした。\nHTTP 500\n"));
    QCOMPARE(readFile(program("release.dat")), record);
    QCOMPARE(session_->run.RunState, kRunIdle);

    // No server at all: the same, with the client's reason.
    farm_.reset();
    window_.reset();
    runUpdate();
    QVERIFY2(log().contains(QStringLiteral("製品の最新情報を取得できませんでした。\n")),
             qPrintable(log()));
    QVERIFY(!log().contains(QStringLiteral("最新版です")));
    QCOMPARE(session_->run.RunState, kRunIdle);
}

// The list's client accepts compression: an answer that inflates to a gigabyte is refused
// long before it is held in memory.
void UpdateTest::compressedBombListIsRefused()
{
    farm_->setListAnswer(testsupport::page(testsupport::gzipOfZeros(std::size_t{1} << 30))
                             .withHeader("Content-Encoding", "gzip"));
    runUpdate();
    QVERIFY2(log().contains(QStringLiteral("製品の最新情報を取得できませんでした。\n")),
             qPrintable(log()));
    const auto asked = farm_->farm().requests(UpdateFarm::kListPath);
    QCOMPARE(asked.size(), std::size_t(1));
    QVERIFY(QString::fromStdString(asked[0].header("Accept-Encoding")).contains("gzip"));
    QCOMPARE(session_->run.RunState, kRunIdle);
}

void UpdateTest::cancelMidFileRemovesThePartAndKeepsTheRecord()
{
    const QByteArray record = "2001.01.01.00:00:00\r\n1>old.bin\r\n";
    writeFile(program("release.dat"), record);
    const std::string first = bytesOf(5000, 'f');
    const std::string big = bytesOf(400000, 'b');
    farm_->setList(farm_->entry("1", "first.bin", farm_->addFile("first", first), first) +
                   farm_->entry("1", "big.bin",
                                farm_->addFile("big", big, 4000, std::chrono::milliseconds(20)),
                                big) +
                   farm_->entry("1", "never.bin", farm_->addFile("never", first), first));
    window().show();
    clickWhen(
        [this] {
            return lbOne().startsWith(QStringLiteral("big.binをダウンロードしています：")) &&
                   !lbOne().endsWith(QStringLiteral("：0"));
        },
        window_->findChild<QPushButton *>("cmdCancel"));
    window_->findChild<QPushButton *>("cmdDo")->click();
    waitForEnd();

    QVERIFY2(
        log().endsWith(QStringLiteral("Downloaded: first.bin\n\nダウンロードが中止されました。\n")),
        qPrintable(log()));
    QCOMPARE(lbOne(), QStringLiteral("big.binのダウンロードを中止しました。"));
    QVERIFY(!QFileInfo::exists(program("update/big.bin")));
    QCOMPARE(readFile(program("update/first.bin")), QByteArray::fromStdString(first));
    QCOMPARE(farm_->fileRequests("never"), std::size_t(0));
    QCOMPARE(readFile(program("release.dat")), record);
    QCOMPARE(session_->run.RunState, kRunIdle);
    QVERIFY(session_->update.cancelled());
    // The update run keeps its cancel to itself: the search's stop flag is untouched.
    QCOMPARE(session_->run.StopFlag, 0);
    QVERIFY(!window_->busy());
}

void UpdateTest::hostileListWritesNothingOutsideUpdate()
{
    const std::string evil = "evil";
    const std::string big = bytesOf(100000, 'z');
    const QString evilAddress = QString::fromStdString(farm_->addFile("evil", evil));
    std::string list;
    for (const char *name : {"../escape.bin", "..", "/tmp/absolute.bin", "sub/inner.bin",
                             "..\\win.bin", "", "del\x7f.bin", "."})
        list += farm_->entry("9", name, evilAddress.toStdString(), evil);
    list += farm_->entry("9", "local.bin", 4, "file:///etc/hostname");
    list += farm_->entry("9", "missing.bin", 4, farm_->farm().url("/files/none"));
    const std::string good = bytesOf(1000, 'g');
    list += farm_->entry("9", "good.bin", farm_->addFile("good", good), good);
    // A body far beyond its stated size is not the file listed: it is refused and removed,
    // and the bar stays within its range.
    list += farm_->entry("9", "big.bin", 10, farm_->addFile("big", big));
    farm_->setList(list);
    // A link left at a target must not carry the download outside the folder.
    const QString outside = QString::fromStdString((sandbox_->path() / "outside.txt").string());
    writeFile(outside, "untouched");
    QVERIFY(QDir().mkpath(program("update")));
    QVERIFY(QFile::link(outside, program("update/big.bin")));
    runUpdate();

    QCOMPARE(readFile(outside), QByteArray("untouched"));
    QVERIFY(QFile::remove(outside));
    QVERIFY2(farm_->fileRequests("evil") == 0, qPrintable(log()));
    QCOMPARE(farm_->fileRequests("big"), std::size_t(1));
    QCOMPARE(programFiles(), (QStringList{"program", "program/release.dat", "program/update",
                                          "program/update/good.bin"}));
    const QString text = log();
    for (const char *name : {"../escape.bin", "/tmp/absolute.bin", "sub/inner.bin"})
        QVERIFY2(text.contains(QStringLiteral("ファイル名が不正なためダウンロードしません：") +
                               QLatin1String(name) + QLatin1Char('\n')),
                 qPrintable(text));
    QCOMPARE(text.count(QStringLiteral("ファイル名が不正なため")), 8);
    QVERIFY(text.contains(
        QStringLiteral("アドレスが不正なためダウンロードしません：file:///etc/hostname\n")));
    QVERIFY(text.contains(QStringLiteral("ダウンロードできませんでした：missing.bin\n")));
    QVERIFY(text.contains(QStringLiteral("ダウンロードできませんでした：big.bin\n")));
    QVERIFY(text.contains(QStringLiteral("\n1個ファイルがダウンロードされました。\n")));
    auto *bar = window_->findChild<QProgressBar *>("PGOne");
    QCOMPARE(bar->maximum(), 10);
    QCOMPARE(bar->value(), 10);
    const QByteArray record = readFile(program("release.dat"));
    QCOMPARE(record.mid(record.indexOf('\n') + 1), QByteArray("9>good.bin\r\n"));
}

void UpdateTest::fullRecordSkipsNewFilesOnly()
{
    QByteArray record = "2001.01.01.00:00:00\r\n";
    for (int i = 0; i < 51; ++i)
        record += "1>f" + QByteArray::number(i) + ".bin\r\n";
    writeFile(program("release.dat"), record);
    farm_->setList(farm_->entry("1", "new.bin", farm_->addFile("new", "n"), "n") +
                   farm_->entry("2", "f50.bin", farm_->addFile("f50", "x"), "x"));
    runUpdate();
    QVERIFY(log().contains(QStringLiteral("記録が一杯のためダウンロードしません：new.bin\n")));
    QCOMPARE(farm_->fileRequests("new"), std::size_t(0));
    QVERIFY(log().contains(QStringLiteral("Downloaded: f50.bin\n")));
    QVERIFY(readFile(program("release.dat")).endsWith("1>f49.bin\r\n2>f50.bin\r\n"));
}

void UpdateTest::busyWindowRefusesToClose()
{
    const std::string slow = bytesOf(200000, 's');
    farm_->setList(farm_->entry(
        "1", "slow.bin", farm_->addFile("slow", slow, 4000, std::chrono::milliseconds(10)), slow));
    window().show();
    window_->findChild<QPushButton *>("cmdDo")->click();
    // The click returns while the run goes on: the window answers the close box and "閉じる".
    QVERIFY(window_->busy());
    window_->close();
    window_->findChild<QPushButton *>("cmdOK")->click();
    QVERIFY(window_->isVisible());
    waitForEnd();

    QCOMPARE(msgbox::shown().size(), 2);
    for (const msgbox::Shown &box : msgbox::shown()) {
        QCOMPARE(box.text, QStringLiteral("ダウンロード中には閉じないてください。"));
        QCOMPARE(box.title, QStringLiteral("操作無効化"));
    }
    QCOMPARE(readFile(program("update/slow.bin")), QByteArray::fromStdString(slow));
    // Not busy any more: "閉じる" hides without a word.
    window_->findChild<QPushButton *>("cmdOK")->click();
    QVERIFY(!window_->isVisible());
    QCOMPARE(msgbox::shown().size(), 2);
}

void UpdateTest::runOnlyWhenIdle()
{
    farm_->setList(farm_->entry("1", "a.bin", farm_->addFile("a", "a"), "a"));
    session_->run.RunState = kRunSearch;
    runUpdate();
    QCOMPARE(log(), kOpening);
    QCOMPARE(farm_->listRequests(), std::size_t(0));
    QCOMPARE(session_->run.RunState, kRunSearch);
}

void UpdateTest::windowKeepsItsLogUntilTheCloseBox()
{
    QPointer<Download> window; // the opener's one window, kept between openings
    farm_->setList(std::string());
    auto logOf = [&window] { return window->findChild<QPlainTextEdit *>("msg")->toPlainText(); };
    ShowDownloadWindow(window, session_->update, nullptr);
    QVERIFY(window->isVisible());
    QVERIFY(window->isModal());
    window->findChild<QPushButton *>("cmdDo")->click();
    waitForEnd();
    window->findChild<QPushButton *>("cmdOK")->click();
    QVERIFY(!window->isVisible());
    // "閉じる" only hid the window: the next opening shows the same log.
    ShowDownloadWindow(window, session_->update, nullptr);
    QCOMPARE(logOf(), kOpening + kChecking + QStringLiteral("\n") + kUpToDate);
    // The close box threw it away: a fresh log.
    window->close();
    QTRY_VERIFY(window.isNull());
    ShowDownloadWindow(window, session_->update, nullptr);
    QCOMPARE(logOf(), kOpening);
    delete window;
}

QTEST_MAIN(UpdateTest)
#include "update_test.moc"
