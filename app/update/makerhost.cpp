#include "update/makerhost.h"

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
        host.prepend(QLatin1String("http://"));
    return host + QLatin1String(path);
}
