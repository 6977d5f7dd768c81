// Saving the listed hits as an HTML report after a real search: the save dialog, every line
// of the file in the order the hits were found, "Current.htm" for the desktop's browser, and
// the cases that must write nothing.
#include "common/translations.h"
#include "core/encoding.h"
#include "mainwindow/commands.h"
#include "mainwindow/report.h"
#include "runfixture.h"

#include <QApplication>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QScopeGuard>

using namespace runfixture;

namespace {

// Two sites with Japanese-language results, and a search for a Japanese keyword.
void searchTwoSites(Stage &stage, const QString &words)
{
    testsupport::SearchSite quick;
    quick.totalHits = 30;
    testsupport::SearchSite slow = quick;
    slow.delay = std::chrono::milliseconds(150);
    stage.farm.serveSearch("/quick/search", quick);
    stage.farm.serveSearch("/slow/search", slow);
    stage.open({{"quick", "日本語", "/quick/search"}, {"slow", "日本語", "/slow/search"}},
               {{"t", {"quick", "slow"}}});
    stage.search(words);
}

QStringList fileLines(const Stage &stage, const std::string &name)
{
    const std::string bytes = stage.sandbox.read(name);
    QStringList lines = fromCp932(QByteArray::fromStdString(bytes)).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// The saving time as the user's clock shows it.
QString timeText(int32_t t)
{
    return QDateTime::fromSecsSinceEpoch(t).toString(QStringLiteral("yyyy/M/d,hh:mm:ss"));
}

// The report's lines as they must read for the listed hits, from the result store, with the
// saving time left out (it is checked separately).
QStringList expectedLines(const Stage &stage, const QString &keyword)
{
    QStringList lines = {
        "<html>",
        "<head>",
        R"(<meta charset="Shift_JIS">)",
        "<title>" + keyword + " - Velmoraの検索結果</title>",
        "</head>",
        "<body>",
        "<center>",
        "<img src=\"" + QString::fromStdString(stage.sandbox.path().string()) +
            "/mapbar.gif\"><br>",
        R"(<table border="0" cellpadding="3" width="100%">)",
        "<tr>",
        R"(<td align="right" valign="top" width="10%"></td>)",
        R"(<td valign="top" width="80%">)",
        "<center>Velmoraの検索結果</center><br>",
        "キーワード： " + keyword + "<br>",
        "検索結果数： " + QString::number(stage.session.run.HitCount) + "<br>",
        "(time)",
        "<p></p>",
    };
    std::vector<char> record(TESSEL_RESULT_SIZE);
    for (int i = 0; i < stage.session.run.HitCount; ++i) {
        GetResult(stage.session.run.HitOrder[i], record.data());
        auto field = [&](int offset, int width) {
            return readCp932Field(record.data() + offset, width);
        };
        lines << QString::number(i + 1) + " <a href=\"" + field(512, 1024) + "\"><B>" +
                     field(256, 256) + "</B></a><br>";
        if (!field(1536, 1024).isEmpty())
            lines << field(1536, 1024) + "<br>";
        lines << field(2560, 256) + ' ' + field(3072, 256) + ' ' + field(2816, 256) + "<br>";
        lines << "<p></p>";
    }
    lines << "</td>"
          << R"(<td width="10%"></td>)"
          << "</tr>"
          << "</table>"
          << "</center>"
          << "</body>"
          << "</html>";
    return lines;
}

QStringList reportsIn(const Stage &stage)
{
    return QDir(QString::fromStdString(stage.sandbox.path().string()))
        .entryList({QStringLiteral("*.htm")}, QDir::Files, QDir::Name);
}

// Runs fn on the modal dialog once it shows (inside RunCommand's modal loop).
void onModal(std::function<void(QDialog *)> fn)
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, fn] {
        // Once the dialog is active, as a user meets it: before that its fields may still
        // be set up by its own activation.
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (dialog && dialog->isActiveWindow()) {
            timer->stop();
            timer->deleteLater();
            fn(dialog);
        }
    });
    timer->start(10);
}

} // namespace

class HtmlReportTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { msgbox::setAutoAnswer(true); }
    void cleanup()
    {
        setReportDialog({});
        msgbox::setAutoAnswer(true);
    }
    void reportFollowsTheOrderFound();
    void saveDialog();
    void saveDialogStartsWhereTheUserSaves();
    void standardDialogsSpeakJapanese();
    void nothingToSave();
    void currentPageRewrittenEachTime();
    void nameOutsideTheCodePage();
    void failedWriteIsReported();
};

// The saved file holds every hit in the order the hits arrived, whatever the list's sort.
void HtmlReportTest::reportFollowsTheOrderFound()
{
    Stage stage;
    const QString keyword = QStringLiteral("富士 山");
    searchTwoSites(stage, keyword);
    QCOMPARE(stage.session.run.HitCount, 20);

    // Sort the list by title, descending: its order is no longer the order found.
    stage.form->LView->header()->sectionClicked(0);
    if (stage.column(0).first() == stage.column(0).last() ||
        stage.column(0).first() < stage.column(0).last())
        stage.form->LView->header()->sectionClicked(0);
    QList<int32_t> foundOrder;
    for (int i = 0; i < stage.session.run.HitCount; ++i)
        foundOrder << stage.session.run.HitOrder[i];
    QList<int32_t> listOrder;
    for (int row = 1; row <= stage.session.run.HitCount; ++row)
        listOrder << stage.form->itemIndex(row);
    QVERIFY(listOrder != foundOrder);

    QString filter;
    QString proposed;
    QWidget *parent = nullptr;
    setReportDialog([&](QWidget *p, const QString &f, const QString &name) {
        parent = p;
        filter = f;
        proposed = name;
        return QString::fromStdString((stage.sandbox.path() / "result.txt").string());
    });
    const int32_t before = GetTime();
    RunCommand(*stage.form, 7);
    const int32_t after = GetTime();
    QCOMPARE(parent, stage.form.get());
    QCOMPARE(filter, QStringLiteral("HTMLファイル (*.htm *.html)"));
    QCOMPARE(proposed, keyword);
    // The library gives the file the extension ".htm".
    QCOMPARE(reportsIn(stage), QStringList{"result.htm"});

    QStringList got = fileLines(stage, "result.htm");
    const QStringList want = expectedLines(stage, keyword);
    QCOMPARE(got.size(), want.size());
    const QString stamp = got.value(15);
    QVERIFY2(stamp == "保存時間： " + timeText(before) + "<br>" ||
                 stamp == "保存時間： " + timeText(after) + "<br>",
             qPrintable(stamp));
    got[15] = QStringLiteral("(time)");
    for (int i = 0; i < want.size(); ++i)
        QCOMPARE(got[i], want[i]);
    // Each line ends CR LF, the last one included.
    QVERIFY(QString::fromStdString(stage.sandbox.read("result.htm")).endsWith("</html>\r\n"));
}

// Without the test hook the save dialog is the program's own: HTML files, the keyword proposed;
// the name chosen gets the report, a cancel writes nothing.
void HtmlReportTest::saveDialog()
{
    Stage stage;
    searchTwoSites(stage, QStringLiteral("abc"));
    QString objectName;
    QStringList filters;
    QString proposed;
    bool saving = false;
    const QString chosen = QString::fromStdString((stage.sandbox.path() / "chosen").string());
    onModal([&](QDialog *dialog) {
        auto *files = qobject_cast<QFileDialog *>(dialog);
        QVERIFY(files);
        objectName = files->objectName();
        filters = files->nameFilters();
        saving = files->acceptMode() == QFileDialog::AcceptSave;
        auto *edit = files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        QVERIFY(edit);
        proposed = edit->text();
        // The name typed over the proposed one; selectFile would leave a focused field alone.
        edit->selectAll();
        QTest::keyClicks(edit, chosen);
        static_cast<QDialog *>(files)->accept(); // QFileDialog::accept, as "保存" does
    });
    RunCommand(*stage.form, 7);
    QCOMPARE(objectName, QStringLiteral("CommonDialog1"));
    QCOMPARE(filters, QStringList{"HTMLファイル (*.htm *.html)"});
    QVERIFY(saving);
    QCOMPARE(proposed, QStringLiteral("abc"));
    QCOMPARE(reportsIn(stage), QStringList{"chosen.htm"});

    onModal([](QDialog *dialog) { dialog->reject(); });
    stage.form->Word->setText(QStringLiteral("other"));
    RunCommand(*stage.form, 7);
    QCOMPARE(reportsIn(stage), QStringList{"chosen.htm"});
}

// The dialog starts in the folder last saved to, else the user's documents folder, else home;
// never in the program's data folder (the current directory), which stays current.
void HtmlReportTest::saveDialogStartsWhereTheUserSaves()
{
    Stage stage;
    searchTwoSites(stage, QStringLiteral("abc"));
    const QString root = QString::fromStdString(stage.sandbox.path().string());
    const QString home = root + QStringLiteral("/home");
    const QString documents = home + QStringLiteral("/Documents");
    const QString out = root + QStringLiteral("/out");
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    const auto restore = qScopeGuard([&] {
        qputenv("HOME", oldHome);
        qputenv("XDG_CONFIG_HOME", oldConfig);
    });
    qputenv("HOME", home.toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home + QStringLiteral("/.config")).toLocal8Bit());
    QVERIFY(QDir().mkpath(documents));
    QVERIFY(QDir().mkpath(out));
    auto offered = [&stage] {
        QString folder;
        onModal([&folder](QDialog *dialog) {
            if (auto *files = qobject_cast<QFileDialog *>(dialog))
                folder = files->directory().absolutePath();
            dialog->reject();
        });
        RunCommand(*stage.form, 7);
        return folder;
    };
    auto saveTo = [&stage](const QString &path) {
        setReportDialog([path](QWidget *, const QString &, const QString &) { return path; });
        RunCommand(*stage.form, 7);
        setReportDialog({});
    };

    QCOMPARE(offered(), documents);
    saveTo(out + QStringLiteral("/kept"));
    QVERIFY(QFileInfo::exists(out + QStringLiteral("/kept.htm")));
    QCOMPARE(offered(), out);
    // Saved into the data folder on purpose: the next dialog still doesn't start there.
    saveTo(root + QStringLiteral("/here"));
    QCOMPARE(offered(), documents);
    saveTo(out + QStringLiteral("/again"));
    QVERIFY(QDir(out).removeRecursively());
    QCOMPARE(offered(), documents);
    QVERIFY(QDir(documents).removeRecursively());
    QCOMPARE(offered(), home);
    QCOMPARE(QDir::currentPath(), root);
}

// The toolkit's own texts are Japanese too: the save dialog's labels and buttons, and the
// buttons of a question box.
void HtmlReportTest::standardDialogsSpeakJapanese()
{
    QVERIFY(InstallJapanese());
    Stage stage;
    searchTwoSites(stage, QStringLiteral("abc"));
    QStringList texts;
    onModal([&](QDialog *dialog) {
        auto *buttons = dialog->findChild<QDialogButtonBox *>();
        auto *label = dialog->findChild<QLabel *>(QStringLiteral("fileNameLabel"));
        if (buttons && label) {
            texts << buttons->button(QDialogButtonBox::Save)->text()
                  << buttons->button(QDialogButtonBox::Cancel)->text() << label->text();
        }
        dialog->reject();
    });
    RunCommand(*stage.form, 7);
    QCOMPARE(texts, QStringList({"保存(&S)", "キャンセル", "ファイル名(&N):"}));

    texts.clear();
    msgbox::setAutoAnswer(false);
    onModal([&](QDialog *dialog) {
        auto *box = qobject_cast<QMessageBox *>(dialog);
        if (box)
            texts << box->button(QMessageBox::Yes)->text() << box->button(QMessageBox::No)->text();
        dialog->reject();
    });
    MsgBox(QStringLiteral("よろしいですか？"), QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(texts, QStringList({"はい(&Y)", "いいえ(&N)"}));
}

// An empty list: neither save nor view does anything, not even ask for a name. A cancelled
// dialog writes nothing either.
void HtmlReportTest::nothingToSave()
{
    Stage stage;
    stage.farm.serveSearch("/quick/search", testsupport::SearchSite());
    stage.open({{"quick", "日本語", "/quick/search"}}, {{"t", {"quick"}}});
    int asked = 0;
    setReportDialog([&](QWidget *, const QString &, const QString &) {
        ++asked;
        return QString();
    });
    stage.form->Word->setText(QStringLiteral("abc"));
    RunCommand(*stage.form, 7);
    RunCommand(*stage.form, 8);
    QCOMPARE(asked, 0);
    QCOMPARE(reportsIn(stage), QStringList());
    QVERIFY(stage.form->TargetURL.isEmpty());

    stage.search(QStringLiteral("abc"));
    QCOMPARE(stage.session.run.HitCount, 10);
    RunCommand(*stage.form, 7);
    QCOMPARE(asked, 1);
    QCOMPARE(reportsIn(stage), QStringList());
}

// The view command writes "Current.htm" in the program directory every time, makes it the
// target address and hands it to the desktop's browser.
void HtmlReportTest::currentPageRewrittenEachTime()
{
    Stage stage;
    searchTwoSites(stage, QStringLiteral("first"));
    stage.sandbox.write("Current.htm", "old page");
    RunCommand(*stage.form, 8);
    QCOMPARE(stage.form->TargetURL, dataPath(QStringLiteral("Current.htm")));
    QVERIFY(fileLines(stage, "Current.htm").contains(QStringLiteral("キーワード： first<br>")));

    stage.form->Word->setText(QStringLiteral("second"));
    RunCommand(*stage.form, 8);
    const QStringList lines = fileLines(stage, "Current.htm");
    QVERIFY(lines.contains(QStringLiteral("キーワード： second<br>")));
    QVERIFY(!lines.contains(QStringLiteral("キーワード： first<br>")));
    QCOMPARE(reportsIn(stage), QStringList{"Current.htm"});
}

// A name whose characters the system code page lacks would be written under another name:
// the save is refused with a message instead.
void HtmlReportTest::nameOutsideTheCodePage()
{
    Stage stage;
    searchTwoSites(stage, QStringLiteral("abc"));
    setReportDialog([&](QWidget *, const QString &, const QString &) {
        return QString::fromStdString(stage.sandbox.path().string()) +
               QStringLiteral("/r\u00e9sum\u00e9");
    });
    msgbox::clearShown();
    RunCommand(*stage.form, 7);
    QCOMPARE(reportsIn(stage), QStringList());
    QCOMPARE(msgbox::shown().size(), qsizetype(1));
    QVERIFY(msgbox::shown()[0].text.contains(QStringLiteral("r\u00e9sum\u00e9")));
}

// A report that can't be written is reported, not passed over in silence, and the view
// command doesn't open the page of an earlier list.
void HtmlReportTest::failedWriteIsReported()
{
    Stage stage;
    searchTwoSites(stage, QStringLiteral("abc"));
    const QString missing =
        QString::fromStdString(stage.sandbox.path().string()) + QStringLiteral("/missing/list");
    setReportDialog([&](QWidget *, const QString &, const QString &) { return missing; });
    msgbox::clearShown();
    RunCommand(*stage.form, 7);
    QCOMPARE(msgbox::shown().size(), qsizetype(1));
    QVERIFY(
        msgbox::shown()[0].text.startsWith(QStringLiteral("HTMLファイルを保存できませんでした。")));
    QVERIFY(!QFileInfo::exists(missing + QStringLiteral(".htm")));

    // A folder in the place of "Current.htm" can't be replaced by the report, even by root.
    QVERIFY(QDir().mkpath(dataPath(QStringLiteral("Current.htm/kept"))));
    stage.form->TargetURL.clear();
    msgbox::clearShown();
    RunCommand(*stage.form, 8);
    QCOMPARE(msgbox::shown().size(), qsizetype(1));
    QVERIFY(stage.form->TargetURL.isEmpty());
    QVERIFY(QFileInfo(dataPath(QStringLiteral("Current.htm/kept"))).isDir());
}

QTEST_MAIN(HtmlReportTest)
#include "htmlreport_test.moc"
