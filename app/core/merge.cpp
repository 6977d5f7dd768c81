#include "core/merge.h"

#include "core/hit.h"

#include <QByteArray>
#include <QStringList>

namespace {

bool isHttp(const QString &url)
{
    return url.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
           url.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

// The decoded value of the query parameter name, or a null string.
QString queryValue(const QString &query, QLatin1String name)
{
    for (const QString &pair : query.split(u'&')) {
        const qsizetype eq = pair.indexOf(u'=');
        if (eq > 0 && QStringView(pair).left(eq) == name) {
            const QByteArray raw = pair.mid(eq + 1).toUtf8().replace('+', ' ');
            return QString::fromUtf8(QByteArray::fromPercentEncoding(raw));
        }
    }
    return QString();
}

// The target one wrapper carries, or a null string.
QString unwrapOnce(const QString &url)
{
    const qsizetype q = url.indexOf(u'?');
    if (q < 0)
        return QString();
    QStringView path = QStringView(url).left(q);
    const qsizetype hash = url.indexOf(u'#', q);
    const QString query = url.mid(q + 1, hash < 0 ? -1 : hash - q - 1);
    if (path.endsWith(u"/l/") || path.endsWith(u"/l")) {
        const QString target = queryValue(query, QLatin1String("uddg"));
        return isHttp(target) ? target : QString();
    }
    if (path.endsWith(u"/ck/a")) {
        // "a1" marks the URL-safe base64 form of the target.
        const QString u = queryValue(query, QLatin1String("u"));
        if (!u.startsWith(QLatin1String("a1")))
            return QString();
        const auto decoded = QByteArray::fromBase64Encoding(
            u.mid(2).toLatin1(),
            QByteArray::Base64UrlEncoding | QByteArray::AbortOnBase64DecodingErrors);
        const QString target = decoded ? QString::fromUtf8(*decoded) : QString();
        return isHttp(target) ? target : QString();
    }
    if (path.endsWith(u"/url")) {
        for (QLatin1String name : {QLatin1String("q"), QLatin1String("url")}) {
            const QString target = queryValue(query, name);
            if (isHttp(target))
                return target;
        }
    }
    return QString();
}

bool isUnreserved(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// One spelling for every escape: "%7e" and "~" become "~", "%c3%a9" and "é" become "%C3%A9".
QString normalisedEscapes(QStringView text)
{
    static const char digits[] = "0123456789ABCDEF";
    QString out;
    out.reserve(text.size());
    auto escape = [&out](uchar b) {
        out += u'%';
        out += QLatin1Char(digits[b >> 4]);
        out += QLatin1Char(digits[b & 15]);
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
            hexValue(text[i + 2]) >= 0) {
            const uchar b = uchar(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            if (isUnreserved(char(b)))
                out += QLatin1Char(char(b));
            else
                escape(b);
            i += 2;
        } else if (c.unicode() < 0x80 && c.unicode() > 0x20) {
            out += c;
        } else {
            for (const char b : QStringView(text).mid(i, c.isHighSurrogate() ? 2 : 1).toUtf8())
                escape(uchar(b));
            if (c.isHighSurrogate())
                ++i;
        }
    }
    return out;
}

bool isTracking(QStringView name)
{
    static const QStringList names = {
        QStringLiteral("fbclid"),  QStringLiteral("gclid"),  QStringLiteral("yclid"),
        QStringLiteral("mc_cid"),  QStringLiteral("mc_eid"), QStringLiteral("msclkid"),
        QStringLiteral("ref_src"),
    };
    return name.startsWith(u"utm_", Qt::CaseInsensitive) ||
           names.contains(name.toString(), Qt::CaseInsensitive);
}

} // namespace

QString UnwrapRedirect(const QString &url)
{
    QString current = url;
    // A wrapper inside a wrapper is rare; a chain that never ends is someone's trick.
    for (int depth = 0; depth < 4; ++depth) {
        const QString target = unwrapOnce(current);
        if (target.isNull())
            break;
        current = target;
    }
    return current;
}

QString MergeKey(const QString &url)
{
    // A hit's address is as the page's markup wrote it ("&amp;" between parameters).
    QString rest = UnwrapRedirect(DecodeCharRefs(url.trimmed()));
    if (const qsizetype hash = rest.indexOf(u'#'); hash >= 0)
        rest.truncate(hash);

    QString scheme;
    const qsizetype sep = rest.indexOf(QLatin1String("://"));
    if (sep > 0 && rest.left(sep).indexOf(u'/') < 0) {
        scheme = rest.left(sep).toLower();
        rest = rest.mid(sep + 3);
    } else if (rest.startsWith(QLatin1String("//"))) {
        rest = rest.mid(2);
    }

    const qsizetype end = [&rest] {
        const qsizetype slash = rest.indexOf(u'/');
        const qsizetype query = rest.indexOf(u'?');
        if (slash < 0)
            return query < 0 ? rest.size() : query;
        return query < 0 ? slash : std::min(slash, query);
    }();
    QString host = rest.left(end).toLower();
    const qsizetype colon = host.lastIndexOf(u':');
    if (colon >= 0 && colon > host.lastIndexOf(u']')) {
        const QStringView port = QStringView(host).mid(colon + 1);
        if (port.isEmpty() || (scheme == QLatin1String("http") && port == u"80") ||
            (scheme == QLatin1String("https") && port == u"443"))
            host.truncate(colon);
    }
    if (host.startsWith(QLatin1String("www.")))
        host.remove(0, 4);

    const QString tail = rest.mid(end);
    const qsizetype q = tail.indexOf(u'?');
    QString path = normalisedEscapes(QStringView(tail).left(q < 0 ? tail.size() : q));
    if (path.isEmpty())
        path = QStringLiteral("/");
    else if (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);

    QStringList kept;
    if (q >= 0) {
        for (const QString &pair : tail.mid(q + 1).split(u'&', Qt::SkipEmptyParts)) {
            const qsizetype eq = pair.indexOf(u'=');
            if (!isTracking(QStringView(pair).left(eq < 0 ? pair.size() : eq)))
                kept << normalisedEscapes(pair);
        }
    }
    QString key = host + path;
    if (!kept.isEmpty())
        key += u'?' + kept.join(u'&');
    return key;
}

double MergedRank(const QList<int> &positions)
{
    double rank = 0;
    for (const int position : positions)
        rank += 1.0 / (60 + position);
    return rank;
}

QString MergedCountSuffix(int merged)
{
    if (merged < 1)
        return QString();
    return QStringLiteral("（重複") + QString::number(merged) +
           QStringLiteral("件をまとめました）");
}
