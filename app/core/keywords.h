// The keyword text as each site receives it. The library takes keywords as CP932 text; what
// CP932 can't hold (emoji, 𠮷, most of the world's scripts) is sent as typed only to sites
// that read their queries as UTF-8, escaped here from the Unicode text. Other sites get the
// CP932 text without those characters, and the user is told once before the run.
// QtCore only.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// True when the text, up to its first control character, holds nothing but blanks and
// ideographic spaces: no word a site could be asked for.
bool KeywordIsBlank(const QString &typed);

// True when the site's memo holds "UTF8" (as the library reads it: case-sensitive, anywhere).
bool MemoTakesUtf8(const QString &memo);

// The characters of the text that CP932 can't hold, each once, in the order typed. Every
// site that isn't a UTF-8 one receives the keywords in CP932, EUC-JP sites included.
QStringList UnsendableCharacters(const QString &typed);

// The keyword bytes for iForm, which escapes them: nothing here is escaped. For any site the
// CP932 text as typed; for a UTF-8 site a character CP932 does not hold exactly (an emoji, 𠮷,
// a wave dash CP932 would write as a full-width tilde) is written as the reference "&#N;",
// which iForm sends such a site as the character itself, and a typed "&" as "&#38;", so
// that typed text never reads as a reference. For any other site those characters are left
// out (UnsendableCharacters names them).
QByteArray KeywordBytes(const QString &typed, bool utf8Site);

// The question asked once before a run whose keywords hold characters some sites can't be
// sent: which ones, and that the search goes on without them.
QString UnsendableNotice(const QStringList &characters);
