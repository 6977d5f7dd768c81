#include "cli/notify.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <QVariantMap>

namespace {

// A notification shows a few lines; the console's output has the rest.
constexpr qsizetype kTitlesShown = 5;

} // namespace

QString NewHitsSummary(const QString &watch, qsizetype count)
{
    return QStringLiteral("「%1」の新着 %2件").arg(watch).arg(count);
}

QString NewHitsBody(const QStringList &titles)
{
    QStringList lines = titles.mid(0, kTitlesShown);
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
