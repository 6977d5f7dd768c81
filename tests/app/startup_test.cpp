// Start-up from a program directory or an installation, and the orderly end that writes the
// user's files back.
#include "common/messagebox.h"
#include "common/pause.h"
#include "core/helptable.h"
#include "core/progdir.h"
#include "core/runcontroller.h"
#include "core/settings.h"
#include "core/topicstore.h"
#include "mainwindow/commands.h"
#include "mainwindow/form1.h"
#include "mainwindow/windowmemory.h"
#include "runfixture.h"
#include "sandbox.h"
#include "sessionfixture.h"
#include "settings/splash.h"
#include "settings/startup.h"
#include "sitefarm.h"

#include <QHeaderView>
#include <QMainWindow>
#include <QScreen>
#include <QTreeWidget>
#include <QtTest>

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

// The delivered program directory, without the program and the library themselves.
void copyProgramData(const fs::path &to)
{
    fs::create_directories(to);
    for (const auto &entry : fs::directory_iterator(VELMORA_PROGRAM_DIR)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && name != "velmora" && name != "libtessel.so")
            fs::copy_file(entry.path(), to / name);
    }
}

void copyProgramData(const testsupport::Sandbox &box)
{
    copyProgramData(box.path());
}

QString qpath(const fs::path &path)
{
    return QString::fromStdString(path.string());
}

std::string catalogue(const std::string &utf8)
{
    std::string bytes = testsupport::encode(utf8);
    for (char &c : bytes)
        c = char(~c);
    return bytes;
}

QByteArray bytesOf(const testsupport::Sandbox &box, const char *name)
{
    return QByteArray::fromStdString(box.read(name));
}

void closeMainWindow(const Session &session, QPointer<Form1> &window)
{
    QVERIFY(window);
    window->close();
    QVERIFY(session.ended);
    QVERIFY(!window->isVisible());
    delete window;
    QVERIFY(!window);
}

} // namespace

class StartupTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Session> session_ = sessionfixture::fresh();
    QPointer<Form1> window_;

    // Starts the program as main() does: a fresh session each time, so a start after an end
    // is the program started again.
    bool start()
    {
        delete window_;
        session_ = sessionfixture::fresh();
        return StartProgram(*session_, window_, 0);
    }

private Q_SLOTS:
    void init()
    {
        delete window_;
        session_ = sessionfixture::fresh();
        setProgramDir(QString());
        msgbox::clearShown();
        msgbox::setAutoAnswer(true);
    }

    void deliveredFilesLoadAndAreWrittenBackUnchanged()
    {
        testsupport::Sandbox box;
        copyProgramData(box);
        const QByteArray topics = bytesOf(box, "TOPICS.DAT");
        const QByteArray startup = bytesOf(box, "STARTUP.DAT");
        QVERIFY(!topics.isEmpty() && !startup.isEmpty());
        fs::remove(box.path() / "replace.bmp");

        QVERIFY(start());
        QVERIFY(msgbox::shown().isEmpty());
        QCOMPARE(shownSplash(), builtInSplash());
        QVERIFY(!builtInSplash()->isVisible());
        QCOMPARE(session_->screenDpi, 96);
        QVERIFY(session_->sites.count > 0);
        QVERIFY(session_->help.count > 0);
        QCOMPARE(session_->topics.count, int32_t(topics.count("TOPIC ")));
        for (int t = 0; t < session_->topics.count; ++t)
            QVERIFY2(session_->topics.topics[t].unknownRoots.isEmpty(),
                     "every delivered root is a site");
        QCOMPARE(window_->objectName(), QStringLiteral("Form1"));
        QCOMPARE(window_->windowTitle(), QStringLiteral("Velmora"));
        QVERIFY(window_->isVisible());

        fs::remove(box.path() / "TOPICS.DAT");
        fs::remove(box.path() / "STARTUP.DAT");
        closeMainWindow(*session_, window_);
        QCOMPARE(bytesOf(box, "STARTUP.DAT"), startup);
        QVERIFY(fs::exists(box.path() / "window.ini"));
        QCOMPARE(bytesOf(box, "TOPICS.DAT"), topics);
    }

    void changesAreWrittenInTheFilesFormats()
    {
        testsupport::Sandbox box;
        box.write("sitelist.dat", catalogue("SITE 甲\r\nROOT http://a/\r\nENDSITE\r\n"
                                            "SITE 乙\r\nROOT http://b/ x\r\nENDSITE\r\n"));
        box.write("TOPICS.DAT", testsupport::encode("TOPIC 旅行\r\nhttp://b/\r\nhttp://gone/\r\n"
                                                    "http://a/\r\nENDTOPIC\r\n"));
        box.write("STARTUP.DAT", "Title=Other\r\niTopic=4\r\nFontSize=11\r\nZoom=2\r\n");

        QVERIFY(start());
        QCOMPARE(session_->settings.iTopic, 0); // only one topic
        QCOMPARE(session_->settings.Title, QStringLiteral("Velmora"));
        QCOMPARE(AppendTopic((*session_), QString::fromUtf8("新規 テーマ")), 1);
        session_->memberFlags.fill(0);
        SetSiteFlag((*session_), 1, 1, 1);
        session_->settings.LimitLink = 25;
        closeMainWindow(*session_, window_);

        QCOMPARE(box.read("STARTUP.DAT"),
                 "Title=Velmora\r\niTopic=0\r\nLimitTime=120\r\nLimitLink=25\r\nHomeURL=" +
                     std::string(kDefaultHomeURL) +
                     "\r\nSearchMode=0\r\nShowSearching=0\r\nShowChecking=0\r\n"
                     "AutoCheck=0\r\nAutoDelete=0\r\nCheckWait=60\r\nFontSize=11\r\n");
        QCOMPARE(box.read("TOPICS.DAT"),
                 testsupport::encode("TOPIC 旅行\r\nhttp://b/\r\nhttp://a/\r\nhttp://gone/\r\n"
                                     "ENDTOPIC\r\nTOPIC 新規\r\nhttp://b/\r\nENDTOPIC\r\n"));
    }

    // A FIFO (or any other non-regular file) in a settings file's place would block the start
    // before the event loop, and one larger than any file of ours can only be read in part:
    // either reads as unreadable, with a warning, and is left as it is.
    void aSettingsFileThatCantBeReadWholeIsKept()
    {
        const struct {
            const char *name;
            std::uintmax_t hugeSize; // 0: a FIFO
            const char *warning;
        } cases[] = {{"STARTUP.DAT", 0, "STARTUP.DATを読み込めませんでした。"},
                     {"TOPICS.DAT", 0, "TOPICS.DATを読み込めませんでした。"},
                     {"window.ini", 0, nullptr},
                     {"STARTUP.DAT", 5 << 20, "STARTUP.DATを読み込めませんでした。"},
                     {"TOPICS.DAT", 33 << 20, "TOPICS.DATの検索テーマが多すぎるため"},
                     {"window.ini", 1 << 20, nullptr}};
        for (const auto &c : cases) {
            testsupport::Sandbox box;
            copyProgramData(box);
            const fs::path place = box.path() / c.name;
            fs::remove(place);
            if (c.hugeSize == 0) {
                QCOMPARE(::mkfifo(place.c_str(), 0600), 0);
            } else {
                box.write(c.name, "x");
                fs::resize_file(place, c.hugeSize); // sparse: no disk is used
            }
            msgbox::clearShown();

            QVERIFY2(start(), c.name);
            const bool warned = std::any_of(
                msgbox::shown().begin(), msgbox::shown().end(), [&](const msgbox::Shown &box) {
                    return c.warning && box.text.startsWith(QString::fromUtf8(c.warning));
                });
            QVERIFY2(warned == (c.warning != nullptr), c.name);
            closeMainWindow(*session_, window_);
            if (c.hugeSize == 0)
                QVERIFY2(fs::is_fifo(place), c.name);
            else
                QVERIFY2(fs::file_size(place) == c.hugeSize && box.read(c.name).front() == 'x',
                         c.name);
        }
    }

    // A search stopped while its pages still arrive, at any moment, and the window closed
    // during the stop or after it: the program ends and writes the user's files.
    void aStoppedSearchStillLetsTheProgramEnd()
    {
        for (const std::size_t stopAt : {1, 2, 5}) {
            for (const bool closeDuringStop : {true, false}) {
                testsupport::Sandbox box;
                copyProgramData(box);
                testsupport::SiteFarm farm;
                testsupport::SearchSite site;
                site.totalHits = 900;
                site.delay = std::chrono::milliseconds(300);
                farm.serveSearch("/a/search", site);
                farm.serveSearch("/b/search", site);
                box.write("sitelist.dat",
                          runfixture::packCatalogue(runfixture::catalogueText(
                              farm, {{"a", "日本語", "/a/search"}, {"b", "日本語", "/b/search"}})));
                box.write("TOPICS.DAT",
                          runfixture::topicsBytes(farm, {{"t", {"a", "b"}}}).toStdString());
                box.write("STARTUP.DAT", "LimitTime=0\r\nLimitLink=100\r\n");
                QVERIFY(start());
                Form1 *form = window_.data();
                form->Word->setText(QStringLiteral("abc"));
                QTest::keyClick(form->Word, Qt::Key_Return);
                QVERIFY(QTest::qWaitFor([&] { return farm.requestCount() >= stopAt; }));
                session_->run.Do_Toggle();
                if (!closeDuringStop)
                    QVERIFY(QTest::qWaitFor([this] { return !session_->run.busy(); }));
                window_->close();

                QVERIFY2(QTest::qWaitFor(
                             [this] { return session_->ended && !session_->run.busy(); }, 20000),
                         qPrintable(QStringLiteral("stop at %1").arg(stopAt)));
                QCOMPARE(session_->run.ActiveCount(), 0);
                QVERIFY(box.read("STARTUP.DAT").find("LimitLink=100\r\n") != std::string::npos);
                QVERIFY(box.read("STARTUP.DAT").find("Title=") != std::string::npos);
                delete window_;
            }
        }
    }

    void anActiveRunIsStoppedBeforeTheFilesAreWritten()
    {
        testsupport::Sandbox box;
        copyProgramData(box);
        testsupport::SiteFarm farm;
        testsupport::SearchSite site;
        site.totalHits = 900;
        site.delay = std::chrono::milliseconds(300);
        farm.serveSearch("/a/search", site);
        box.write("sitelist.dat", runfixture::packCatalogue(runfixture::catalogueText(
                                      farm, {{"a", "日本語", "/a/search"}})));
        box.write("TOPICS.DAT", runfixture::topicsBytes(farm, {{"t", {"a"}}}).toStdString());
        box.write("STARTUP.DAT", "LimitTime=0\r\n");
        QVERIFY(start());
        window_->Word->setText(QStringLiteral("abc"));
        QTest::keyClick(window_->Word, Qt::Key_Return);
        QVERIFY(QTest::qWaitFor([&] { return farm.requestCount() >= 1; }));
        QVERIFY(session_->run.ActiveCount() > 0);
        window_->EndProgram();
        QVERIFY(session_->ended);
        QVERIFY(session_->run.stopping());
        // Nothing is written while the stop still waits for the run's threads.
        box.write("STARTUP.DAT", "x");
        QVERIFY(QTest::qWaitFor([this] { return !session_->run.busy(); }, 20000));
        QCOMPARE(session_->run.ActiveCount(), 0);
        QVERIFY(box.read("STARTUP.DAT") != std::string("x"));
        // The end runs once however often it is asked for.
        box.write("STARTUP.DAT", "x");
        window_->EndProgram();
        QCOMPARE(box.read("STARTUP.DAT"), std::string("x"));
    }

    // Size, place, the preview split and a widened column come back at the next start; the
    // delivered files are not where they are kept.
    void theWindowComesBackAsTheUserLeftIt()
    {
        testsupport::Sandbox box;
        copyProgramData(box);
        fs::remove(box.path() / "replace.bmp");
        QVERIFY(start());
        Form1 *form = window_.data();
        form->setGeometry(QRect(40, 30, 960, 640));
        form->Init_LVResult();
        QHeaderView *header = form->LView->header();
        header->resizeSection(1, header->sectionSize(1) + 90);
        RunCommand(*form, 11);
        QWidget *surface = form->centralWidget();
        const layout::Zone zone = form->windowLayout().zone;
        const int t = form->twipsPerPixel();
        const QPoint grab((zone.xFrom + zone.xTo) / 2 / t, (zone.yFrom + zone.yTo) / 2 / t);
        QTest::mousePress(surface, Qt::LeftButton, {}, grab);
        QTest::mouseRelease(surface, Qt::LeftButton, {}, grab + QPoint(0, 60));
        const QRect geometry = form->geometry();
        const int split = form->windowLayout().previewListHeight;
        const int urlWidth = header->sectionSize(1);
        const QByteArray startup = bytesOf(box, "STARTUP.DAT");
        closeMainWindow(*session_, window_);
        QCOMPARE(bytesOf(box, "STARTUP.DAT"), startup);

        QVERIFY(start());
        form = window_.data();
        QCOMPARE(form->geometry(), geometry);
        QCOMPARE(form->windowLayout().previewListHeight, split);
        form->Init_LVResult();
        QVERIFY2(qAbs(form->LView->header()->sectionSize(1) - urlWidth) <= 2,
                 qPrintable(QString::number(form->LView->header()->sectionSize(1))));
        closeMainWindow(*session_, window_);
    }

    // Without a kept place the window opens centred on the screen's free area, inside it,
    // at a share of it but never below its least size where the screen has room.
    void theFirstWindowOpensCentred()
    {
        const struct {
            QRect available;
            QSize place;
        } cases[] = {
            {QRect(0, 0, 1920, 1080), QSize(1280, 720)},
            {QRect(1920, 30, 2560, 1410), QSize(1706, 940)}, // a second screen, a top panel
            {QRect(0, 0, 540, 300), QSize(400, 250)},        // the least size is more
            {QRect(0, 0, 320, 200), QSize(320, 200)},        // the screen is less
        };
        for (const auto &c : cases) {
            const QRect place = FirstPlace(c.available, QSize(400, 250));
            QCOMPARE(place.size(), c.place);
            QVERIFY(c.available.contains(place));
            QVERIFY(qAbs(place.center().x() - c.available.center().x()) <= 1);
            QVERIFY(qAbs(place.center().y() - c.available.center().y()) <= 1);
        }

        testsupport::Sandbox box;
        copyProgramData(box);
        fs::remove(box.path() / "replace.bmp");
        fs::remove(box.path() / "window.ini");
        QVERIFY(start());
        const QRect available = window_->screen()->availableGeometry();
        const QRect geometry = window_->geometry();
        const QString seen = QStringLiteral("%1,%2 %3x%4 in %5x%6")
                                 .arg(geometry.x())
                                 .arg(geometry.y())
                                 .arg(geometry.width())
                                 .arg(geometry.height())
                                 .arg(available.width())
                                 .arg(available.height());
        QVERIFY2(available.contains(window_->frameGeometry()), qPrintable(seen));
        QVERIFY2(qAbs(geometry.center().x() - available.center().x()) <= 2 &&
                     qAbs(geometry.center().y() - available.center().y()) <= 2,
                 qPrintable(seen));
        QVERIFY2(geometry.width() > available.width() / 2, qPrintable(seen));
        closeMainWindow(*session_, window_);
    }

    void aPictureReplacesTheSplash()
    {
        testsupport::Sandbox box;
        copyProgramData(box);
        QImage picture(120, 80, QImage::Format_RGB32);
        picture.fill(Qt::darkGreen);
        QVERIFY(picture.save(QString::fromStdString((box.path() / "replace.bmp").string()), "BMP"));

        ShowSplash();
        QWidget *window = shownSplash();
        QVERIFY(window);
        QCOMPARE(window->objectName(), QStringLiteral("Picture"));
        // The bitmap plus 90 twips (6 pixels) each way.
        QCOMPARE(window->size(), QSize(126, 86));
        QVERIFY(window->isVisible());
        QTest::keyClick(window, Qt::Key_Space);
        QVERIFY(!window->isVisible());

        fs::remove(box.path() / "replace.bmp");
        ShowSplash();
        QCOMPARE(shownSplash(), builtInSplash());
        QTest::mouseClick(builtInSplash(), Qt::LeftButton);
        QVERIFY(!builtInSplash()->isVisible());
    }

    void pauseWaitsWhileHandlingEvents()
    {
        bool handled = false;
        QTimer::singleShot(10, [&] { handled = true; });
        QElapsedTimer clock;
        clock.start();
        Pause(120);
        QVERIFY(clock.elapsed() >= 120);
        QVERIFY(handled);
    }

    // The build's program directory and a copy on a stick keep everything beside the program;
    // a program directory without its own settings and without installed data still reads
    // its data beside itself.
    void aProgramDirWithItsOwnSettingsIsPortable()
    {
        testsupport::Sandbox box;
        box.write("stick/STARTUP.DAT", "");
        const ProgramPlaces stick = FindProgramPlaces(qpath(box.path() / "stick"),
                                                      QStringLiteral("/c"), QStringLiteral("/d"));
        QVERIFY(stick.portable);
        QCOMPARE(QStringList({stick.data, stick.config, stick.userData}),
                 QStringList(3, qpath(box.path() / "stick")));

        fs::create_directories(box.path() / "bare");
        const ProgramPlaces bare = FindProgramPlaces(qpath(box.path() / "bare"),
                                                     QStringLiteral("/c"), QStringLiteral("/d"));
        QVERIFY(!bare.portable);
        QCOMPARE(QStringList({bare.data, bare.config, bare.userData}),
                 QStringList({qpath(box.path() / "bare"), "/c", "/d"}));
    }

    // Installed, the program reads its data from share/velmora beside its bin folder, gives the
    // user the default topics and settings once, and writes them back to the user's folder,
    // never into the data.
    void anInstalledProgramKeepsTheUsersFilesInTheirFolder()
    {
        testsupport::Sandbox box;
        const fs::path shared = box.path() / "usr/share/velmora";
        copyProgramData(shared);
        fs::create_directories(box.path() / "usr/bin");
        const std::string delivered = box.read("usr/share/velmora/STARTUP.DAT");
        const std::string topics = box.read("usr/share/velmora/TOPICS.DAT");
        const ProgramPlaces places =
            FindProgramPlaces(qpath(box.path() / "usr/bin"), qpath(box.path() / "home/config"),
                              qpath(box.path() / "home/data"));
        QVERIFY(!places.portable);
        QCOMPARE(places.data, qpath(shared));

        QVERIFY(SeedUserFiles(places));
        QCOMPARE(box.read("home/config/STARTUP.DAT"), delivered);
        setProgramPlaces(places);
        QVERIFY(QDir::setCurrent(places.data));
        QVERIFY(start());
        QVERIFY(session_->sites.count > 0);
        session_->settings.LimitLink = 25;
        fs::remove(box.path() / "home/config/TOPICS.DAT");
        closeMainWindow(*session_, window_);
        QVERIFY(box.read("home/config/STARTUP.DAT").find("\r\nLimitLink=25\r\n") !=
                std::string::npos);
        QCOMPARE(box.read("home/config/TOPICS.DAT"), topics);
        QCOMPARE(box.read("usr/share/velmora/STARTUP.DAT"), delivered);

        // A later start leaves the user's own files alone.
        QVERIFY(SeedUserFiles(places));
        QVERIFY(box.read("home/config/STARTUP.DAT") != delivered);
    }

    void aCatalogueThatFailsEndsTheStart()
    {
        testsupport::Sandbox box;
        box.write("TOPICS.DAT", "TOPIC keep\r\nENDTOPIC\r\n");
        QVERIFY(!start());
        QCOMPARE(msgbox::shown().size(), 1);
        QCOMPARE(msgbox::shown().at(0).text, QStringLiteral("LoadSite Error=-5001"));
        QCOMPARE(msgbox::shown().at(0).title, QStringLiteral("Velmora"));
        QVERIFY(!window_);
        QVERIFY(!builtInSplash()->isVisible());
        QCOMPARE(box.read("TOPICS.DAT"), std::string("TOPIC keep\r\nENDTOPIC\r\n"));
    }
};

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
