// The record of fetched update files ("release.dat") and the update server's file list.
//
// "release.dat" lives in the program directory, CP932 text with CR LF line ends: the time of
// the last successful update run, then one "version>name" line per file ever fetched. Both
// the record and the server's list are outside input: they are read defensively, and a file
// name from the server is checked before it can become a path (UpdateNameRefused).
#pragma once

#include <QList>
#include <QString>

#include <array>

// The record has room for this many files. A listed file that is not recorded yet and finds
// the record full is not fetched (CheckRelease answers kReleaseFull); recorded files are
// still updated in place.
constexpr int kReleaseMax = 51;

// CheckRelease answers, besides an entry index.
constexpr int kReleaseUpToDate = -1;
constexpr int kReleaseFull = -2;

struct ReleaseEntry {
    QString version;
    QString name; // empty while the entry is reserved for a file not fetched yet
};

struct ReleaseList {
    QString lastUpdate;
    std::array<ReleaseEntry, kReleaseMax> entries;
    int count = 0;
};

// Reads the record from the file into list (emptied first). Each line counts with its first
// 80 characters, cut at the first blank; a line without ">" is passed over, and so is one
// with an empty name (a reservation that never got its file). Lines past the 51st entry are
// ignored. Returns true when the first line (the time text) was read; a missing or unreadable
// file leaves the list empty and returns false.
bool ReadReleaseList(const QString &path, ReleaseList &list);
// Parses the bytes of a record; ReadReleaseList without the file.
bool ParseReleaseList(const QByteArray &bytes, ReleaseList &list);

// Writes the record afresh with time (cut at the first blank) as its first line, which also
// becomes list.lastUpdate. Entries with an empty name are left out. The file is written to a
// temporary file beside it and renamed over it, so an interrupted write never leaves a
// half-written record. Returns false when the file could not be written.
bool WriteReleaseList(const QString &path, ReleaseList &list, const QString &time);
// The bytes WriteReleaseList writes.
QByteArray FormatReleaseList(const ReleaseList &list);

// Decides whether a listed file is fetched. The first entry with the same name (compared in
// lower case) answers kReleaseUpToDate when the listed version, in lower case, is not greater
// than the entry's (UTF-16 code comparison), else its index. A name not recorded reserves a
// new entry and answers its index, or kReleaseFull when all 51 are taken.
int CheckRelease(ReleaseList &list, const QString &name, const QString &version);

// One file of the server's list.
struct ListedFile {
    QString version;
    QString name;
    int size = 0; // as the server states it; only the progress bar's maximum
    QString address;
};

// The server's list: pairs of lines "version>name,size" and the file's address. The list ends
// at the first pair whose first line has no ">", or when fewer than two lines remain.
QList<ListedFile> ParseUpdateList(const QString &body);

// True when a file name from the server must not become a path: empty, ".", holding "/",
// "\", "..", or a control character.
bool UpdateNameRefused(const QString &name);
// True when a file may not be fetched from the address: anything but https, unless the
// maker's own host is plain http (MakerAddressAllowed).
bool UpdateAddressRefused(const QString &address);
