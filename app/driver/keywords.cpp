#include "driver/keywords.h"

#include "common/encoding.h"

namespace {

constexpr char16_t kIdeographicSpace = 0x3000;

// The text up to its first control character, where the library ends the keywords too.
QStringView sendablePart(const QString &typed)
{
    qsizetype end = 0;
    while (end < typed.size() && typed.at(end).unicode() >= 0x20)
        ++end;
    return QStringView(typed).left(end);
}

// Calls f with each whole character (a surrogate pair as one) of the text.
template <typename F> void forEachCharacter(QStringView text, F f)
{
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n =
            text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()
                ? 2
                : 1;
        f(text.mid(i, n));
        i += n;
    }
}

} // namespace

bool KeywordIsBlank(const QString &typed)
{
    for (const QChar c : sendablePart(typed)) {
        if (c != u' ' && c != kIdeographicSpace)
            return false;
    }
    return true;
}

bool MemoTakesUtf8(const QString &memo)
{
    return memo.contains(QLatin1String("UTF8"));
}

QStringList UnsendableCharacters(const QString &typed)
{
    QStringList missing;
    forEachCharacter(sendablePart(typed), [&](QStringView c) {
        const QString character = c.toString();
        if (!fitsCp932(character) && !missing.contains(character))
            missing.append(character);
    });
    return missing;
}

QByteArray KeywordBytes(const QString &typed, bool utf8Site)
{
    QByteArray out;
    if (utf8Site) {
        static const char kDigits[] = "0123456789ABCDEF";
        forEachCharacter(QStringView(typed), [&](QStringView c) {
            if (c.size() == 1 && c.at(0).unicode() < 0x80) {
                out.append(char(c.at(0).unicode()));
            } else if (c.size() == 1 && c.at(0) == kIdeographicSpace) {
                out.append(' ');
            } else if (c.size() == 2 || !c.at(0).isSurrogate()) {
                for (const char b : c.toUtf8())
                    out.append('%').append(kDigits[uchar(b) >> 4]).append(kDigits[uchar(b) & 0xF]);
            }
        });
        return out;
    }
    QString kept;
    forEachCharacter(QStringView(typed), [&](QStringView c) {
        if (fitsCp932(c.toString()))
            kept += c;
    });
    return toCp932(kept);
}

QString UnsendableNotice(const QStringList &characters)
{
    return QStringLiteral("次の文字はShift_JIS・EUC-JPのサイトには送れません。\n") +
           characters.join(u' ') +
           QStringLiteral(
               "\nこれらのサイトにはこの文字を除いたキーワードで検索します。続けますか？");
}
