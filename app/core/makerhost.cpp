#include "core/makerhost.h"

#include "core/atomicfile.h"
#include "core/progdir.h"

#include <QFileInfo>
#include <QSettings>

#ifndef VELMORA_MAKER_HOST
#define VELMORA_MAKER_HOST ""
#endif

namespace {

QString &overrideHost()
{
    static QString host;
    return host;
}

} // namespace

QString MakerHost()
{
    const QString &host = overrideHost();
    if (!host.isEmpty())
        return host;
    // Read only from a plain file of sensible size: a FIFO or a device in its place must not
    // hold the program up.
    const QString ini = configPath(QStringLiteral("window.ini"));
    const QString configured = IsRegularOrAbsent(ini, kWindowIniLimit)
                                   ? QSettings(ini, QSettings::IniFormat)
                                         .value(QStringLiteral("Maker/Host"))
                                         .toString()
                                         .trimmed()
                                   : QString();
    return configured.isEmpty() ? QStringLiteral(VELMORA_MAKER_HOST) : configured;
}

void SetMakerHost(const QString &host)
{
    overrideHost() = host;
}

QString MakerUrl(const char *path)
{
    QString host = MakerHost();
    if (host.isEmpty())
        return QString();
    while (host.endsWith(QLatin1Char('/')))
        host.chop(1);
    if (!host.contains(QLatin1String("://")))
        host.prepend(QLatin1String("https://"));
    return host + QLatin1String(path);
}

bool MakerAddressAllowed(const QString &address)
{
    if (address.startsWith(QLatin1String("https://"), Qt::CaseInsensitive))
        return true;
    return address.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) &&
           MakerHost().startsWith(QLatin1String("http://"), Qt::CaseInsensitive);
}

QString MakerUnavailableReason()
{
    if (!MakerHost().isEmpty())
        return QString();
    return QStringLiteral("Halvaneのサーバーのアドレスが設定されていないため使えません。"
                          "window.ini の [Maker] に Host=アドレス を書くと使えるようになります。");
}

bool UpdatesFromPackages()
{
#if defined(VELMORA_PACKAGED) && VELMORA_PACKAGED
    return true;
#else
    // The system package marks its data folder (its build needs no option of its own).
    return QFileInfo::exists(dataPath(QStringLiteral("packaged")));
#endif
}

QString PackagedUpdateText()
{
    return QStringLiteral("このVelmoraはシステムのパッケージとしてインストールされています。\n"
                          "最新版への更新は、システムのパッケージマネージャー"
                          "（apt やソフトウェアの更新）から行ってください。");
}
