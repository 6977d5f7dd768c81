// One hit of a search as the program keeps it: the texts of its result record, where it came
// from, and what the link check said about it. With merging on, one Hit stands for every hit
// of the same page (its members).
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

// A hit's link state: the number of its icon in the list (1 No Check … 7 Forbidden).
enum HitLinkState : int32_t {
    kHitNoCheck = 1,
    kHitOk = 2,
    kHitNotFound = 3, // a dead link: delete-dead removes it
    kHitOther = 4,
    kHitNotConnect = 6,
    kHitForbidden = 7,
};

struct Hit {
    // Display texts, HTML character references decoded (the result store keeps them as
    // captured, and the report is written from there).
    QString title;
    QString url;
    QString preview;
    QString date;
    QString size;
    QString score;
    QString site;
    int32_t index = -1; // result index in the store: the one checked and reported
    int32_t linkState = kHitNoCheck;
    qint64 firstSeen = 0; // msecs since the epoch when the hit arrived
    // A hit of a watched search that none of the watch's earlier runs had.
    bool isNew = false;

    // Filled by HitListModel: the 1-based position of each member on its site, the sites that
    // found the page (first finder first, each once), every member's result index (index
    // first), and the merged rank over the sites' best positions.
    QStringList sites;
    QList<int> positions; // parallel to sites
    QList<int32_t> members;
    double rank = 0;
};

// The hit at result index in a TESSEL_RESULT_SIZE record, as GetResult wrote it.
Hit HitFromRecord(const char *record, int32_t index, qint64 firstSeen);

// Replaces the character references "&name;", "&#N;" and "&#xH;" by their characters.
// A reference that is unknown, unterminated or names no valid character stays as written.
QString DecodeCharRefs(const QString &text);
