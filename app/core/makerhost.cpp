#include "core/makerhost.h"

#ifndef VELMORA_MAKER_HOST
#define VELMORA_MAKER_HOST "update.velmora.invalid"
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
    return host.isEmpty() ? QStringLiteral(VELMORA_MAKER_HOST) : host;
}

void SetMakerHost(const QString &host)
{
    overrideHost() = host;
}

QString MakerUrl(const char *path)
{
    QString host = MakerHost();
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
