#include "history/historyrecord.h"

#include "core/hitlistmodel.h"
#include "core/merge.h"
#include "core/outcome.h"
#include "core/session.h"

#include <QLocale>

namespace {

// The seven texts of a hit, which the list's hits and the stored ones name alike.
template <class From, class To> void copyTexts(const From &from, To &to)
{
    to.title = from.title;
    to.url = from.url;
    to.preview = from.preview;
    to.date = from.date;
    to.size = from.size;
    to.score = from.score;
    to.site = from.site;
}

} // namespace

HistoryRun RecordOfRun(const Session &session, const HitListModel &hits, const RunTerms &terms)
{
    HistoryRun run;
    run.time = terms.time;
    run.topic = terms.topic;
    run.keywords = terms.keywords;
    run.orMode = terms.orMode;
    run.watch = terms.watch;
    for (int k = 0; k < session.runSites.count; ++k) {
        const int32_t site = session.runSites.sites[size_t(k)];
        const QString name = site >= 0 && site < session.sites.count
                                 ? session.sites.sites[size_t(site)].name
                                 : QString::number(site);
        const SiteResult result = session.run.RowResult(k);
        run.sites << name;
        run.outcomes.push_back(
            {name, int(result.kind), result.code, OutcomeText(result), IsFailure(result)});
    }
    for (int row = 0; row < hits.rowCount(); ++row) {
        const Hit &h = hits.hit(row);
        HistoryHit stored;
        stored.rank = row + 1;
        copyTexts(h, stored);
        stored.linkState = h.linkState == kHitNoCheck ? 0 : h.linkState;
        stored.key = MergeKey(h.url);
        run.hits.push_back(stored);
    }
    return run;
}

Hit HitOfStored(const HistoryHit &stored)
{
    Hit hit;
    copyTexts(stored, hit);
    hit.index = stored.rank - 1;
    hit.linkState = stored.linkState > 0 ? stored.linkState : kHitNoCheck;
    hit.isNew = stored.isNew;
    return hit;
}

QString StoredRunText(const HistoryRun &run)
{
    return QStringLiteral("履歴：%1 「%2」 %3件")
        .arg(QLocale().toString(run.time, QStringLiteral("yyyy/MM/dd HH:mm")), run.keywords)
        .arg(run.hits.size());
}
