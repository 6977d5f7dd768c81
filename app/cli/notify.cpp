#include "cli/notify.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <QVariantMap>

#include <atomic>
#include <future>
#include <memory>
#include <thread>

namespace {

// A notification shows a few lines; the console's output has the rest.
constexpr qsizetype kTitlesShown = 5;
constexpr qsizetype kTitleShown = 120;

std::atomic<bool> g_hung{false};

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

} // namespace

QString NewHitsSummary(const QString &watch, qsizetype count)
{
    return QStringLiteral("「%1」の新着 %2件").arg(watch).arg(count);
}

QString NewHitsBody(const QStringList &titles)
{
    QStringList lines;
    for (const QString &title : titles.mid(0, kTitlesShown))
        lines << shownTitle(title);
    if (titles.size() > kTitlesShown)
        lines << QStringLiteral("ほか%1件").arg(titles.size() - kTitlesShown);
    // The body may be read as markup: a title's "<" or "&" must show as written.
    return lines.join(u'\n').toHtmlEscaped();
}

bool AnnounceNewHits(const QDBusConnection &bus, const QString &watch, const QStringList &titles)
{
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    call << QStringLiteral("Velmora") << uint(0) << QStringLiteral("velmora")
         << NewHitsSummary(watch, titles.size()) << NewHitsBody(titles) << QStringList()
         << QVariantMap() << int(-1);
    // A timer's run must end even when the notification service hangs.
    const QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

bool AnnounceNewHits(const QString &watch, const QStringList &titles)
{
    // Without a named bus the library would try to start one for the X display: a timer's
    // run has no desktop to show it on.
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        if (runtime.isEmpty() || !QFileInfo(runtime + QStringLiteral("/bus")).exists())
            return false;
    }
    return AnnounceNewHits(QDBusConnection::sessionBus(), watch, titles);
}

bool AnnounceNewHitsWithin(const QString &watch, const QStringList &titles,
                           std::chrono::milliseconds limit)
{
    // Connecting to a bus that takes the connection and never answers blocks without end, and
    // a scheduled run must end all the same: the announcement runs apart and is waited for
    // only so long.
    auto answered = std::make_shared<std::promise<bool>>();
    std::future<bool> answer = answered->get_future();
    std::thread([answered, watch, titles] {
        answered->set_value(AnnounceNewHits(watch, titles));
    }).detach();
    if (answer.wait_for(limit) == std::future_status::ready)
        return answer.get();
    g_hung = true;
    return false;
}

bool AnnouncementHung()
{
    return g_hung;
}
