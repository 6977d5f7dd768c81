// The one place where the program's text meets the system code page (CP932).
//
// Every library call, and every read or write of a data file, converts through these
// functions; nothing else in the program converts. Bytes CP932 can't decode become U+FFFD;
// characters CP932 can't hold are reported to the caller (never silently dropped, and a text
// is never cut in the middle of a character).
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// CP932 bytes -> text. Invalid byte sequences become U+FFFD; a NUL byte is kept as U+0000.
QString fromCp932(QByteArrayView bytes);

// Text -> CP932 bytes. A character CP932 can't hold is written as "?" and *lossless (when
// given) is set to false, so the caller can tell the user; otherwise *lossless is true.
QByteArray toCp932(const QString &text, bool *lossless = nullptr);

// True when every character of the text has a CP932 form.
bool fitsCp932(const QString &text);

// A NUL-terminated text field of a fixed-width library record (SiteHeader, GetResult,
// GetHelp): the bytes up to the first NUL or up to width, whichever comes first.
QString readCp932Field(const char *field, int width);

// Writes the text into a field of width bytes, always NUL-terminated. A text whose CP932 form
// is longer than width - 1 is cut at a whole character. Returns false when the text was cut
// or held characters CP932 can't hold.
bool writeCp932Field(const QString &text, char *field, int width);

// The first n UTF-16 units of the text, one fewer when that would split a surrogate pair.
QString leftWhole(const QString &text, qsizetype n);
