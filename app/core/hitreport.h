// The HTML report of a hit list, through the library's report writer: the one writer behind
// the window's save and browser commands and the console's --report.
#pragma once

#include <QList>
#include <QString>

#include <cstdint>

// Writes the keyword text, the number of hits, then one entry per result index in the order
// given, to path (the writer gives it the extension ".htm"). The file appears whole or not
// at all. Returns false when it could not be written (a folder missing or not writable, a
// full disk); the caller tells the user. keyword and path must fit the system code page
// (fitsCp932): a path that does not would be written under another name.
bool WriteHitReport(const QString &keyword, const QList<int32_t> &indexes, const QString &path);
