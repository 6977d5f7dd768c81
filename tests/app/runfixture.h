// Shared by the run driver's window tests: a sandboxed program directory holding a site
// catalogue whose sites live on the fixture server, topics over them, and the main window.
#pragma once

#include "common/messagebox.h"
#include "core/progdir.h"
#include "core/runcontroller.h"
#include "core/session.h"
#include "core/settings.h"
#include "core/sitelist.h"
#include "core/topicstore.h"
#include "driver/confirm.h"
#include "driver/runwindows.h"
#include "driver/searching.h"
#include "mainwindow/form1.h"
#include "sandbox.h"
#include "sitefarm.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>

#include <memory>
#include <string>
#include <vector>

namespace runfixture {

// One catalogue entry. The script reads the fixture server's generated result pages.
struct Site {
    std::string name;
    std::string lang = "日本語";
    std::string path; // "/alpha/search"
    std::string memo = "AND OR";
    bool post = false;        // queried by a form post instead of a GET
    int perPage = 10;         // hits on one result page (the template's page step)
    std::string title = {};   // the SITE line's value when it differs from the name
    std::string address = {}; // the search page's whole address when it is not path's
};

inline const char *kScript = "SEARCH\r\n<ol>\r\nUNTILL </ol>\r\nLOOP\r\n<li><a href=\" URL \">\r\n"
                             "TITLE </a>\r\n<p> PREVIEW </p>\r\nsize\"> SIZE </span>\r\n"
                             "date\"> DATE </span>\r\nENDLOOP\r\nENDSITE\r\n";

// The catalogue text (UTF-8) for the sites of a server whose addresses url() makes.
inline std::string catalogueText(const std::function<std::string(const std::string &)> &url,
                                 const std::vector<Site> &sites)
{
    std::string text = "# test catalogue\r\n";
    for (const Site &s : sites) {
        const std::string base = s.address.empty() ? url(s.path) : s.address;
        const std::string hostAndPath = base.substr(std::string("http://").size());
        const std::string query = "?q=_WORD1_+_WORD2_&p=_NUM_1," + std::to_string(s.perPage);
        text += "SITE " + (s.title.empty() ? s.name : s.title) + "\r\nLANG " + s.lang +
                "\r\nTYPE テスト\r\nSKEY " + s.name + " 検索\r\nROOT " + url("/" + s.name + "/") +
                "\r\nMEMO " + s.memo + "\r\n";
        text += "HOST " + url("/") + "\r\n";
        if (s.post)
            text += "AND post://" + hostAndPath + query + "\r\n";
        else
            text += "AND " + base + query + "\r\n";
        text += "OR " + base + query + "&m=or\r\n";
        text += kScript;
    }
    return text;
}

inline std::string catalogueText(const testsupport::SiteFarm &farm, const std::vector<Site> &sites)
{
    return catalogueText([&farm](const std::string &path) { return farm.url(path); }, sites);
}

// "sitelist.dat" as the library reads it: CP932, every byte complemented.
inline std::string packCatalogue(const std::string &utf8)
{
    std::string bytes = testsupport::encode(utf8);
    for (char &c : bytes)
        c = static_cast<char>(~static_cast<unsigned char>(c));
    return bytes;
}

// Topics over the catalogue's sites: each entry is a topic name and its members' names.
struct Topic {
    std::string name;
    std::vector<std::string> members;
};

inline QByteArray topicsBytes(const std::function<std::string(const std::string &)> &url,
                              const std::vector<Topic> &topics)
{
    std::string text;
    for (const Topic &t : topics) {
        text += "TOPIC " + t.name + "\r\n";
        for (const std::string &m : t.members)
            text += url("/" + m + "/") + "\r\n";
        text += "ENDTOPIC\r\n";
    }
    return QByteArray::fromStdString(testsupport::encode(text));
}

inline QByteArray topicsBytes(const testsupport::SiteFarm &farm, const std::vector<Topic> &topics)
{
    return topicsBytes([&farm](const std::string &path) { return farm.url(path); }, topics);
}

// A result page in the generated sites' markup with the given hit links.
inline std::string resultPage(const std::vector<std::string> &urls,
                              const std::string &title = "hit")
{
    std::string page = "<html><body><ol>\n";
    int n = 0;
    for (const std::string &url : urls) {
        ++n;
        page += "<li><a href=\"" + url + "\">" + title + " " + std::to_string(n) +
                "</a><p>preview " + std::to_string(n) + "</p><span class=\"size\">" +
                std::to_string(n) + "KB</span><span class=\"date\">2024/01/01</span></li>\n";
    }
    return page + "</ol></body></html>\n";
}

// The whole stage: sandbox, farm, catalogue, topics, settings, main window.
class Stage {
public:
    // The stage's own session, its notices shown in message boxes as the window program shows
    // them (the tests answer and read them through msgbox::).
    Session session;
    testsupport::Sandbox sandbox;
    testsupport::SiteFarm farm;
    std::unique_ptr<Form1> form;

    // A run or stop a test left behind ends here, before its window and server go, so the
    // next test starts with the controller idle.
    Stage() { ShowNotices(session); }

    ~Stage()
    {
        RunController &run = session.run;
        if (run.RunState == kRunSearch || run.RunState == kRunCheck)
            run.Do_Stop();
        if (!settle())
            qWarning("a run did not end");
        qDeleteAll(watches()->children());
    }

    // Writes the catalogue and topics, loads them, and opens the main window on topic 0.
    // The adjustment is made to the settings before the window loads.
    void open(const std::vector<Site> &sites, const std::vector<Topic> &topics,
              const std::function<void(Settings &)> &adjust = {})
    {
        sandbox.write("sitelist.dat", packCatalogue(catalogueText(farm, sites)));
        session.settings.ShowSearching = 0;
        session.settings.ShowChecking = 0;
        QVERIFY(LoadSiteInfo(session) == static_cast<int32_t>(sites.size()));
        LoadTopicsFrom(session, topicsBytes(farm, topics));
        session.settings.iTopic = 0;
        msgbox::setAutoAnswer(true);
        msgbox::clearShown();
        if (adjust)
            adjust(session.settings);
        form = std::make_unique<Form1>(session);
        form->Form_Load(0);
    }

    // Types the keywords and presses Enter; returns when the run (and what AutoCheck and
    // AutoDelete add) is over.
    void search(const QString &words)
    {
        form->Word->setFocus();
        form->Word->setText(words);
        QTest::keyClick(form->Word, Qt::Key_Return);
        QVERIFY(settle());
    }

    // Waits until no run is on and no stop pending (false after a minute).
    [[nodiscard]] bool settle()
    {
        return QTest::qWaitFor([this] { return !session.run.busy(); }, 60000);
    }

    // Runs the action once, at the given time into what follows (a run in progress polls the
    // event loop, so the action fires inside it).
    static void at(int milliseconds, std::function<void()> action)
    {
        QTimer::singleShot(milliseconds, std::move(action));
    }

    // Fires the action, repeatedly polling, as soon as the condition holds (or gives up once
    // the timeout has passed); for acting on a state reached during a run. A watch still
    // waiting when its stage goes is dropped with it.
    static void when(std::function<bool()> condition, std::function<void()> action,
                     int timeoutMs = 10000)
    {
        auto *timer = new QTimer(watches());
        const QDeadlineTimer deadline(timeoutMs);
        QObject::connect(timer, &QTimer::timeout, [timer, deadline, condition, action] {
            const bool met = condition();
            if (met || deadline.hasExpired()) {
                timer->stop();
                timer->deleteLater();
                if (met)
                    action();
            }
        });
        timer->start(5);
    }

    // The owner of the watches of when(); never freed, so none outlives the application.
    static QObject *watches()
    {
        static QObject *owner = new QObject;
        return owner;
    }

    QStringList column(int c) const
    {
        QStringList texts;
        const QAbstractItemModel *rows = form->LView->model();
        for (int i = 0; i < rows->rowCount(); ++i)
            texts << rows->index(i, c).data().toString();
        return texts;
    }

    // The picture index the row shows (1 tocheck … 7 forbidden).
    int image(int row) const
    {
        return form->LView->model()->index(row, 0).data(Qt::UserRole + 1).toInt();
    }
};

} // namespace runfixture
