// The search history's records: plain values the program maps its runs and hits onto. QtCore
// only; nothing here knows a window, the library or the database.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

// One hit of a run, with the texts as the result list shows them.
struct HistoryHit {
    int rank = 0; // position in the run's list, from 1
    QString title, url, preview, date, size, score;
    QString site;      // the site's name
    int linkState = 0; // the program's link state; 0 while unchecked
    // The hit's merge key: two hits with the same key are the same page. Watches compare by it;
    // empty means the URL itself.
    QString key;
    // Set by loadRun(): a hit of a watched run that no earlier run of the watch had.
    bool isNew = false;

    QString mergeKey() const { return key.isEmpty() ? url : key; }
};

// How one site's part of a run ended.
struct HistorySiteOutcome {
    QString site;
    int kind = 0; // the program's outcome kind
    int code = 0; // e.g. the HTTP status
    QString text; // as the user saw it
    bool failed = false;
};

// One search run.
struct HistoryRun {
    qint64 id = 0; // given by the store
    QDateTime time;
    QString topic;     // empty when sites were chosen one by one
    QStringList sites; // the sites asked
    QString keywords;
    bool orMode = false; // OR; AND otherwise
    qint64 watch = 0;    // the watch this run belongs to; 0 for none
    std::vector<HistorySiteOutcome> outcomes;
    std::vector<HistoryHit> hits;
};

// A line of the history list.
struct HistoryRunSummary {
    qint64 id = 0;
    QDateTime time;
    QString topic, keywords;
    int hits = 0;
    int failures = 0; // outcomes marked failed
    qint64 watch = 0;
};

// A hit found by a search over the history.
struct HistoryMatch {
    qint64 run = 0;
    QDateTime time; // the run's
    QString keywords;
    HistoryHit hit;
};

// A watched search: re-run on request, it announces the hits its earlier runs never had.
struct HistoryWatch {
    qint64 id = 0; // given by the store
    QString name;  // unique
    QString topic; // a topic, or else the sites
    QStringList sites;
    QString keywords;
    bool orMode = false;
    QDateTime created;
    QDateTime lastRun; // invalid before the first run
    int hitLimit = 0;  // hits wanted per site; 0: the settings' number
};

// What storing a run gave.
struct HistoryStored {
    qint64 run = 0;
    // For a watch's run: the indexes into the run's hits whose key no earlier run of the watch
    // had, in order. Empty for a run of no watch.
    std::vector<int> fresh;
};
