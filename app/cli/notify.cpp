#include "cli/notify.h"

#include "core/sessionbus.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QProcess>
#include <QVariantMap>

#include <fcntl.h>
#include <linux/close_range.h>
#include <unistd.h>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
// The action a click on the notification's body invokes.
const QString kDefaultAction = QStringLiteral("default");

// A notification shows a few lines; the console's output has the rest.
constexpr qsizetype kTitlesShown = 5;
constexpr qsizetype kTitleShown = 120;
// A service that doesn't answer a call within this long is taken as not there.
constexpr int kCallTimeoutMs = 5000;

// A title as a notification may show it: no control or direction characters (a right-to-left
// override would make "gnp.exe" read "exe.png"), and not longer than a line.
QString shownTitle(const QString &title)
{
    QString out;
    for (const QChar c : title)
        if (c.category() != QChar::Other_Control && c.category() != QChar::Other_Format)
            out += c;
    return out.size() > kTitleShown ? out.left(kTitleShown - 1) + QChar(0x2026) : out;
}

QDBusMessage notificationsCall(const QString &method)
{
    return QDBusMessage::createMethodCall(kService, kPath, kService, method);
}

bool offersActions(const QDBusConnection &bus)
{
    const QDBusMessage reply = bus.call(notificationsCall(QStringLiteral("GetCapabilities")),
                                        QDBus::Block, kCallTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage &&
           reply.arguments().value(0).toStringList().contains(QStringLiteral("actions"));
}

} // namespace

QString NewHitsSummary(const QString &watch, qsizetype count)
{
    return QStringLiteral("「%1」の新着 %2件").arg(shownTitle(watch)).arg(count);
}

QString NewHitsBody(const QStringList &titles, qsizetype count)
{
    QStringList lines;
    for (const QString &title : titles.mid(0, kTitlesShown))
        lines << shownTitle(title);
    if (count > lines.size())
        lines << QStringLiteral("ほか%1件").arg(count - lines.size());
    // The body may be read as markup: a title's "<" or "&" must show as written.
    return lines.join(u'\n').toHtmlEscaped();
}

uint AnnounceNewHits(const QDBusConnection &bus, const Announcement &announcement, bool clickable)
{
    if (!bus.isConnected())
        return 0;
    QDBusMessage call = notificationsCall(QStringLiteral("Notify"));
    const QStringList actions =
        clickable ? QStringList{kDefaultAction, QStringLiteral("開く")} : QStringList();
    // The desktop entry lets the service show the program's name and icon.
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("velmora")}};
    call << QStringLiteral("Velmora") << uint(0) << QStringLiteral("velmora")
         << NewHitsSummary(announcement.watch, announcement.count)
         << NewHitsBody(announcement.titles, announcement.count) << actions << hints << int(-1);
    // A timer's run must end even when the notification service hangs.
    const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return 0;
    return reply.arguments().value(0).toUInt();
}

QString AnnouncementBusName(const QString &watch)
{
    // A bus name takes only ASCII letters, digits and "_" in its parts: the name is hashed.
    const QByteArray hash =
        QCryptographicHash::hash(watch.toUtf8(), QCryptographicHash::Sha256).toHex().left(32);
    return QStringLiteral("org.velmora.WatchAnnouncement.w") + QString::fromLatin1(hash);
}

AnnouncementWatch::AnnouncementWatch(const QDBusConnection &bus, const QString &claimedName)
    : bus_(bus), claimedName_(claimedName)
{
    bus_.connect(kService, kPath, kService, QStringLiteral("ActionInvoked"), this,
                 SLOT(actionInvoked(uint, QString)));
    bus_.connect(kService, kPath, kService, QStringLiteral("NotificationClosed"), this,
                 SLOT(notificationClosed(uint, uint)));
    if (!claimedName_.isEmpty())
        bus_.connect(QStringLiteral("org.freedesktop.DBus"),
                     QStringLiteral("/org/freedesktop/DBus"),
                     QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameLost"), this,
                     SLOT(nameLost(QString)));
    bus_.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"),
                 QStringLiteral("org.freedesktop.DBus.Local"), QStringLiteral("Disconnected"), this,
                 SLOT(busLost()));
    // A notification service that ends (the desktop session is over) will never tell.
    auto *service =
        new QDBusServiceWatcher(kService, bus_, QDBusServiceWatcher::WatchForUnregistration, this);
    connect(service, &QDBusServiceWatcher::serviceUnregistered, this, &AnnouncementWatch::busLost);
}

void AnnouncementWatch::actionInvoked(uint id, const QString &action)
{
    // Both the body's click and the "開く" button open the window.
    if (id != 0 && id == id_ && !action.isEmpty())
        end(AnnouncementEnd::Opened);
}

void AnnouncementWatch::notificationClosed(uint id, uint)
{
    if (id != 0 && id == id_)
        end(AnnouncementEnd::Dismissed);
}

void AnnouncementWatch::nameLost(const QString &name)
{
    if (name == claimedName_)
        end(AnnouncementEnd::Replaced);
}

void AnnouncementWatch::busLost()
{
    end(AnnouncementEnd::Gone);
}

void AnnouncementWatch::end(AnnouncementEnd how)
{
    // A click is followed by the closing of the notification: the first word counts.
    if (ended_)
        return;
    ended_ = true;
    Q_EMIT ended(how);
}

std::optional<AnnouncementEnd> AwaitAnnouncement(const QDBusConnection &bus,
                                                 const Announcement &announcement,
                                                 const std::function<void()> &open)
{
    if (!bus.isConnected())
        return std::nullopt;
    const QString name = AnnouncementBusName(announcement.watch);
    // An earlier announcement of this watch still waiting withdraws when this one takes its name.
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> claimed =
        bus.interface()->registerService(name, QDBusConnectionInterface::ReplaceExistingService,
                                         QDBusConnectionInterface::AllowReplacement);
    // A run that could not be stored has nothing for the window to open. Without the name (a
    // holder that won't give it up) the notification is shown but not waited on: waiting
    // announcements would pile up, one a run.
    const bool clickable = announcement.run > 0 && claimed.isValid() &&
                           claimed.value() == QDBusConnectionInterface::ServiceRegistered &&
                           offersActions(bus);
    // Listening before sending: nothing the service says after its answer is missed.
    AnnouncementWatch watch(bus, name);
    const uint id = AnnounceNewHits(bus, announcement, clickable);
    if (id == 0)
        return std::nullopt;
    if (!clickable)
        return AnnouncementEnd::Shown;
    AnnouncementEnd how = AnnouncementEnd::Gone;
    QObject::connect(&watch, &AnnouncementWatch::ended, [&how](AnnouncementEnd e) {
        how = e;
        QCoreApplication::exit(0);
    });
    watch.setId(id);
    QCoreApplication::exec();
    if (how == AnnouncementEnd::Opened)
        open();
    else if (how == AnnouncementEnd::Replaced)
        bus.call(notificationsCall(QStringLiteral("CloseNotification")) << id, QDBus::Block,
                 kCallTimeoutMs);
    return how;
}

QStringList AnnouncementArguments(const Announcement &announcement)
{
    QStringList arguments{QString::fromLatin1(kAnnounceOption), announcement.watch,
                          QString::number(announcement.run), QString::number(announcement.count)};
    for (const QString &title : announcement.titles.mid(0, kTitlesShown))
        arguments << shownTitle(title);
    return arguments;
}

std::optional<Announcement> AnnouncementOfArguments(const QStringList &arguments)
{
    if (arguments.size() < 4 || arguments[0] != QLatin1String(kAnnounceOption))
        return std::nullopt;
    Announcement a;
    bool runRead = false, countRead = false;
    a.watch = arguments[1];
    a.run = arguments[2].toLongLong(&runRead);
    a.count = arguments[3].toLongLong(&countRead);
    a.titles = arguments.mid(4);
    if (!runRead || !countRead || a.watch.isEmpty() || a.run < 0 || a.count < a.titles.size())
        return std::nullopt;
    return a;
}

QStringList WindowArgumentsFor(const Announcement &announcement)
{
    // Joined to their option: a name such as "-platform" would be read by the toolkit.
    return {QStringLiteral("--watch=") + announcement.watch,
            QStringLiteral("--run=") + QString::number(announcement.run)};
}

void OpenWindowOn(const QDBusConnection &bus, const Announcement &announcement,
                  const QString &program)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(kWindowService), QString::fromLatin1(kWindowPath),
        QString::fromLatin1(kWindowInterface), QStringLiteral("OpenRun"));
    call << announcement.watch << announcement.run;
    // Any answer means a window took the request: one that is busy says so on its status line.
    if (bus.call(call, QDBus::Block, kCallTimeoutMs).type() == QDBusMessage::ReplyMessage)
        return;
    QProcess::startDetached(program, WindowArgumentsFor(announcement));
}

bool StartAnnouncement(const QString &program, const Announcement &announcement)
{
    if (!SessionBusAround())
        return false;
    // The announcement lives on for hours: it must not keep what the run was handed (a cron
    // line's flock lock), nor hand it on to the window a click starts. The run ends right after.
    if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0)
        for (long fd = 3, open = ::sysconf(_SC_OPEN_MAX); fd < open; ++fd)
            ::fcntl(int(fd), F_SETFD, FD_CLOEXEC);
    QProcess process;
    process.setProgram(program);
    process.setArguments(AnnouncementArguments(announcement));
    // Detached, it must hold none of the run's streams: a reader of the run's output (a pipe,
    // a script's $(…)) waits for every writer to end.
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
}
