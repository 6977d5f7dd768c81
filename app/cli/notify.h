// The desktop notification of a watch's new hits (org.freedesktop.Notifications over the
// session bus), and what a click on it does: the window opens on the run that found them.
// QtCore and QtDBus only: the console stays free of Gui and Widgets.
//
// A watch run ends as soon as its hits are written (a timer's service must end), yet the click
// may come hours later, and the notification service tells it only to the connection that sent
// the notification. So the run hands the announcement to a detached copy of the program
// (kAnnounceOption), which sends it, waits for the click and then starts the window.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>

#include <functional>
#include <optional>

// What a notification tells of a watch run.
struct Announcement {
    QString watch;
    qint64 run = 0;      // the stored run with the new hits; 0 when it could not be stored
    QStringList titles;  // the new hits' titles, first ones first (only a few are shown)
    qsizetype count = 0; // every new hit
};

// The notification's title and text: the count, then the first few titles, one a line.
QString NewHitsSummary(const QString &watch, qsizetype count);
QString NewHitsBody(const QStringList &titles, qsizetype count);

// Sends the notification over bus; its id, or 0 when the bus has no notification service or
// it didn't answer within a few seconds. A clickable one offers the action that opens it.
uint AnnounceNewHits(const QDBusConnection &bus, const Announcement &announcement, bool clickable);

// The bus name the waiting announcement of a watch holds. The next announcement of the same
// watch takes it over, and the earlier one withdraws its notification and ends: however often
// a timer finds something while nobody looks, one notification and one process remain.
QString AnnouncementBusName(const QString &watch);

enum class AnnouncementEnd {
    Shown,     // sent; the service takes no clicks, so there is nothing to wait for
    Opened,    // clicked
    Dismissed, // closed by the user or expired
    Replaced,  // a later announcement of the same watch took over
    Gone,      // the notification service or the bus went away
};

// Tells, on the event loop, what becomes of a notification sent over bus. Made before the
// notification is sent (so that nothing said after is missed) and given its id once known.
class AnnouncementWatch : public QObject {
    Q_OBJECT

public:
    // claimedName: the bus name whose loss means Replaced; empty for none.
    AnnouncementWatch(const QDBusConnection &bus, const QString &claimedName);
    void setId(uint id) { id_ = id; }

Q_SIGNALS:
    void ended(AnnouncementEnd how);

private Q_SLOTS:
    void actionInvoked(uint id, const QString &action);
    void notificationClosed(uint id, uint reason);
    void nameLost(const QString &name);
    void busLost();

private:
    void end(AnnouncementEnd how);

    QDBusConnection bus_;
    uint id_ = 0;
    QString claimedName_;
    bool ended_ = false;
};

// The detached announcement, start to end: claims the watch's bus name, sends, waits, and on a
// click calls open (which starts the window). Runs the application's event loop. What became of
// the notification; nullopt when it could not be sent.
std::optional<AnnouncementEnd> AwaitAnnouncement(const QDBusConnection &bus,
                                                 const Announcement &announcement,
                                                 const std::function<void()> &open);

// The hidden option that makes velmora-search the detached announcement, and its arguments
// both ways: NAME RUN COUNT TITLE...
inline constexpr char kAnnounceOption[] = "--announce-watch";
QStringList AnnouncementArguments(const Announcement &announcement);
std::optional<Announcement> AnnouncementOfArguments(const QStringList &arguments);

// The window's command line that opens on the announced run (or, when it is gone, on the
// watch's latest).
QStringList WindowArgumentsFor(const Announcement &announcement);

// What a click does: the window already open shows the run (core/sessionbus.h); without one,
// the window program at program is started on it.
void OpenWindowOn(const QDBusConnection &bus, const Announcement &announcement,
                  const QString &program);

// Starts the detached announcement (program: velmora-search itself) when there is a session
// bus; false when there is none or the program could not be started. The run goes on at once.
bool StartAnnouncement(const QString &program, const Announcement &announcement);
