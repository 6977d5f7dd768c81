#include "core/keywords.h"

#include "core/encoding.h"

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
    forEachCharacter(QStringView(typed), [&](QStringView c) {
        const QString character = c.toString();
        const bool whole = c.size() == 2 || !c.at(0).isSurrogate();
        const QByteArray bytes = fitsCp932(character) ? toCp932(character) : QByteArray();
        // A UTF-8 site is sent the character itself: one CP932 writes only as a look-alike
        // (〜 as ～) goes as a reference too.
        if (utf8Site && character == u'&')
            out += "&#38;";
        else if (!utf8Site || (!bytes.isEmpty() && fromCp932(bytes) == character))
            out += bytes;
        else if (whole)
            out += "&#" + QByteArray::number(character.toUcs4().at(0)) + ';';
    });
    return out;
}

QString UnsendableNotice(const QStringList &characters)
{
    return QStringLiteral("次の文字はShift_JIS・EUC-JPのサイトには送れません。\n") +
           characters.join(u' ') +
           QStringLiteral(
               "\nこれらのサイトにはこの文字を除いたキーワードで検索します。続けますか？");
}
