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

// The keyword bytes for iForm. For a UTF-8 site every character from U+0080 up is written as
// "%XX" escapes of its UTF-8 bytes (an ideographic space as a blank), which iForm passes on
// unchanged; ASCII stays as typed, as iForm would leave it. For any other site, the CP932 text
// without the characters UnsendableCharacters names.
QByteArray KeywordBytes(const QString &typed, bool utf8Site);

// The question asked once before a run whose keywords hold characters some sites can't be
// sent: which ones, and that the search goes on without them.
QString UnsendableNotice(const QStringList &characters);
