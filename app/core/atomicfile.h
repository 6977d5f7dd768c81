// Replacing a data file as a whole: the new bytes go to a temporary file in the same folder,
// which is renamed over the old file only when every byte is on disk. A failure (full disk,
// read-only folder) leaves the old file exactly as it was.
#pragma once

#include <QByteArray>
#include <QString>

// Returns true when the file now holds exactly these bytes; otherwise false, the old file is
// untouched and *error (when given) says why.
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error = nullptr);

// True when nothing is at path, or a regular file (a link to one included) of at most
// maxBytes: what may be opened as a data file without blocking on a FIFO or a device, or
// reading gigabytes that no file of ours ever holds.
bool IsRegularOrAbsent(const QString &path, qint64 maxBytes);

// window.ini holds a few hundred bytes of ours; anything far larger is not ours to read or
// replace.
constexpr qint64 kWindowIniLimit = 64 * 1024;

// Reads a whole regular file of at most maxBytes bytes. Returns false when it can't be opened or
// read; *exists tells a missing file from an unreadable one. A longer file yields its first
// maxBytes bytes and *truncated (when given) is set.
bool readWholeFile(const QString &path, qint64 maxBytes, QByteArray &bytes, bool *exists,
                   bool *truncated = nullptr);
