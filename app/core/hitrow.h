// A hit as the result list shows it.
#pragma once

#include <QString>
#include <QStringList>

// The seven texts of a result row in list order (title, URL, preview, date, size, score,
// site) from a 3328-byte ResultRecord, with HTML character references decoded for display.
// The record itself (and so the report) keeps the text as captured.
QStringList HitRow(const char *record);

// Replaces the character references "&name;", "&#N;" and "&#xH;" by their characters.
// A reference that is unknown, unterminated or names no valid character stays as written.
QString DecodeCharRefs(const QString &text);
