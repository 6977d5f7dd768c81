#include "core/hit.h"

#include "core/encoding.h"
#include "tessel.h"

#include <QHash>

namespace {

// The named references result pages actually use; the rest stay as written.
const QHash<QString, char32_t> &namedRefs()
{
    static const QHash<QString, char32_t> refs = {
        {QStringLiteral("amp"), U'&'},         {QStringLiteral("lt"), U'<'},
        {QStringLiteral("gt"), U'>'},          {QStringLiteral("quot"), U'"'},
        {QStringLiteral("apos"), U'\''},       {QStringLiteral("nbsp"), U'\u00a0'},
        {QStringLiteral("copy"), U'\u00a9'},   {QStringLiteral("reg"), U'\u00ae'},
        {QStringLiteral("trade"), U'\u2122'},  {QStringLiteral("hellip"), U'\u2026'},
        {QStringLiteral("mdash"), U'\u2014'},  {QStringLiteral("ndash"), U'\u2013'},
        {QStringLiteral("laquo"), U'\u00ab'},  {QStringLiteral("raquo"), U'\u00bb'},
        {QStringLiteral("lsquo"), U'\u2018'},  {QStringLiteral("rsquo"), U'\u2019'},
        {QStringLiteral("ldquo"), U'\u201c'},  {QStringLiteral("rdquo"), U'\u201d'},
        {QStringLiteral("middot"), U'\u00b7'}, {QStringLiteral("bull"), U'\u2022'},
        {QStringLiteral("times"), U'\u00d7'},  {QStringLiteral("yen"), U'\u00a5'},
        {QStringLiteral("deg"), U'\u00b0'},    {QStringLiteral("sect"), U'\u00a7'},
    };
    return refs;
}

bool validCharacter(qint64 code)
{
    return code > 0 && code <= 0x10ffff && !(code >= 0xd800 && code <= 0xdfff);
}

// The character of the reference whose body (between "&" and ";") is given, or 0.
char32_t referenced(QStringView body)
{
    if (body.startsWith(u'#')) {
        bool ok = false;
        qint64 code = 0;
        if (body.size() > 2 && (body[1] == u'x' || body[1] == u'X'))
            code = body.mid(2).toLongLong(&ok, 16);
        else if (body.size() > 1 && body[1].isDigit())
            code = body.mid(1).toLongLong(&ok, 10);
        return ok && validCharacter(code) ? static_cast<char32_t>(code) : 0;
    }
    return namedRefs().value(body.toString(), 0);
}

} // namespace

QString DecodeCharRefs(const QString &text)
{
    if (!text.contains(u'&'))
        return text;
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text.at(i);
        if (c == u'&') {
            // References are short; a ";" further away belongs to something else.
            const qsizetype semi = text.indexOf(u';', i + 1);
            if (semi > i + 1 && semi - i <= 12) {
                const char32_t ch = referenced(QStringView(text).mid(i + 1, semi - i - 1));
                if (ch != 0) {
                    out += QString::fromUcs4(&ch, 1);
                    i = semi + 1;
                    continue;
                }
            }
        }
        out += c;
        ++i;
    }
    return out;
}

Hit HitFromRecord(const char *record, int32_t index, qint64 firstSeen)
{
    auto field = [record](int at, int width) {
        return DecodeCharRefs(readCp932Field(record + at, width));
    };
    Hit hit;
    hit.title = field(TESSEL_RESULT_TITLE_AT, TESSEL_RESULT_TITLE_WIDTH);
    hit.url = field(TESSEL_RESULT_URL_AT, TESSEL_RESULT_URL_WIDTH);
    hit.preview = field(TESSEL_RESULT_PREVIEW_AT, TESSEL_RESULT_PREVIEW_WIDTH);
    hit.date = field(TESSEL_RESULT_DATE_AT, TESSEL_RESULT_DATE_WIDTH);
    hit.size = field(TESSEL_RESULT_SIZE_AT, TESSEL_RESULT_SIZE_WIDTH);
    hit.score = field(TESSEL_RESULT_SCORE_AT, TESSEL_RESULT_SCORE_WIDTH);
    hit.site = field(TESSEL_RESULT_SITE_AT, TESSEL_RESULT_SITE_WIDTH);
    hit.index = index;
    hit.firstSeen = firstSeen;
    return hit;
}
