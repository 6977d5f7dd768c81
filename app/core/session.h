// One session of the program: the settings, the site list, the topics, the help table, the
// run controller and the update run, one each. Each program's main() makes one and hands it by
// reference to whatever needs it; nothing here is reachable any other way.
//
// QtCore only. The stores report problems (a file that could not be read or written, a
// refused topic) as notices: the window program shows them in message boxes, the console
// writes them to standard error. Used from the user-interface thread only.
#pragma once

#include "core/helptable.h"
#include "core/runcontroller.h"
#include "core/settings.h"
#include "core/sitelist.h"
#include "core/sitepause.h"
#include "core/topics.h"
#include "core/updaterun.h"

#include <QObject>
#include <QString>

#include <array>
#include <cstdint>

// How a notice is to be shown: as the message box's icon, or the weight of a console line.
enum class NoticeLevel {
    Plain,
    Warning,
    Critical,
};

class Session : public QObject {
    Q_OBJECT

public:
    Session();
    ~Session() override;
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    Settings settings;
    int32_t screenDpi = 96; // GetDPI at start-up
    SiteInfoList sites;
    TopicStore topics;
    std::array<int32_t, kSiteInfoCount> memberFlags{}; // the Topics window's site check boxes
    RunSiteList runSites;
    // Sites that blocked the client, paused until they may be asked again (useUserFiles
    // gives it its file).
    SitePauses pauses;
    HelpTable help;
    // Declared after the lists it reads, so it is made after them and gone before them.
    RunController run;
    UpdateRun update;

    // True when neither a search, a check, a pending stop nor the update run is on: the
    // commands that start work consult this.
    // Names the user's own files the library and the run read: the user catalogue (which
    // LoadSite lays over the shipped one) and the paused sites. Called before LoadSite, once the
    // program's places are known; again does nothing.
    void useUserFiles();

    bool idle() const { return !run.busy() && !update.busy(); }

    // Set when "STARTUP.DAT" or "TOPICS.DAT" existed but could not be read whole: the orderly
    // end must not replace the user's file with what little was read.
    bool keepSettingsFile = false;
    bool keepTopicsFile = false;
    // True once the orderly end has begun (EndSession).
    bool ended = false;

private:
    bool userFilesNamed_ = false;

Q_SIGNALS:
    // A problem the user is told of and acknowledges. An empty title means the program's name.
    void notice(const QString &text, const QString &title, NoticeLevel level);
};
