// The window's runs as the history keeps them, and stored hits back as the list shows them.
// Plain functions over the session and the hit model: no window, no database.
#pragma once

#include "core/historyrecords.h"
#include "core/hit.h"

#include <QDateTime>
#include <QString>

class HitListModel;
class Session;

// What a search of the window was asked: kept from its start, since the user may change the
// keywords or the topic while it runs.
struct RunTerms {
    QDateTime time;
    QString topic;
    QString keywords;
    bool orMode = false;
    qint64 watch = 0; // the watch the run re-runs; 0 for none
};

// The finished search as a history run: the sites of the run's list with their outcomes, and
// the list's rows in the order found (a merged row is one hit, under its first site).
HistoryRun RecordOfRun(const Session &session, const HitListModel &hits, const RunTerms &terms);

// A stored hit for the list: its result index is its rank - 1 (the library's result store
// doesn't hold it), its link state as last checked.
Hit HitOfStored(const HistoryHit &stored);

// The status line of a run shown from the history: when, which words, how many hits.
QString StoredRunText(const HistoryRun &run);
