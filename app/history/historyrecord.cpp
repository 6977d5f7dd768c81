#include "history/historyrecord.h"

#include "core/hitlistmodel.h"
#include "core/merge.h"
#include "core/outcome.h"
#include "core/session.h"

#include <QLocale>

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
        stored.title = h.title;
        stored.url = h.url;
        stored.preview = h.preview;
        stored.date = h.date;
        stored.size = h.size;
        stored.score = h.score;
        stored.site = h.site;
        stored.linkState = h.linkState == kHitNoCheck ? 0 : h.linkState;
        stored.key = MergeKey(h.url);
        run.hits.push_back(stored);
    }
    return run;
}

Hit HitOfStored(const HistoryHit &stored)
{
    Hit hit;
    hit.title = stored.title;
    hit.url = stored.url;
    hit.preview = stored.preview;
    hit.date = stored.date;
    hit.size = stored.size;
    hit.score = stored.score;
    hit.site = stored.site;
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
