#include "core/hitlistmodel.h"

#include "core/hitsort.h"
#include "core/merge.h"

#include <cmath>

namespace {

const QStringList &headers()
{
    static const QStringList texts = {
        QStringLiteral("TITLE"), QStringLiteral("URL"),    QStringLiteral("PREVIEW"),
        QStringLiteral("DATE"),  QStringLiteral("SIZE"),   QStringLiteral("SCORE"),
        QStringLiteral("SITE"),  QStringLiteral("サイト"),
    };
    return texts;
}

// The merged row takes what the new hit adds to the page.
void absorb(Hit &row, const Hit &hit)
{
    if (hit.title.size() > row.title.size())
        row.title = hit.title;
    if (hit.preview.size() > row.preview.size())
        row.preview = hit.preview;
    for (auto field : {&Hit::date, &Hit::size, &Hit::score}) {
        if ((row.*field).isEmpty())
            row.*field = hit.*field;
    }
    row.members.append(hit.index);
    // A site counts once, at its best position: listing a page twice is no second opinion.
    const qsizetype k = row.sites.indexOf(hit.site);
    if (k < 0) {
        row.sites.append(hit.site);
        row.positions.append(hit.positions.constFirst());
    } else {
        row.positions[k] = std::min(row.positions[k], hit.positions.constFirst());
    }
    row.rank = MergedRank(row.positions);
}

} // namespace

HitListModel::HitListModel(QObject *parent) : QAbstractTableModel(parent)
{
}

void HitListModel::setDecoration(std::function<QVariant(int32_t)> decoration)
{
    decoration_ = std::move(decoration);
    if (!rows_.isEmpty())
        Q_EMIT dataChanged(index(0, 0), index(int(rows_.size()) - 1, 0), {Qt::DecorationRole});
}

void HitListModel::setMerging(bool on)
{
    if (on == merging_)
        return;
    beginResetModel();
    merging_ = on;
    rows_.clear();
    keyRow_.clear();
    indexRow_.clear();
    QList<Hit> kept;
    for (Hit hit : std::as_const(arrivals_)) {
        if (removed_.contains(hit.index))
            continue;
        hit.linkState = states_.value(hit.index, hit.linkState);
        kept.append(hit);
    }
    fold(kept, false);
    endResetModel();
}

int HitListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int HitListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : (merging_ ? SiteCount + 1 : Site + 1);
}

QVariant HitListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rows_.size())
        return {};
    const Hit &h = rows_.at(index.row()).hit;
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case Title:
            return h.isNew ? QStringLiteral("【新着】") + h.title : h.title;
        case Url:
            return h.url;
        case Preview:
            return h.preview;
        case Date:
            return h.date;
        case Size:
            return h.size;
        case Score:
            return h.score;
        case Site:
            return h.site;
        case SiteCount:
            return int(h.sites.size());
        }
        return {};
    case Qt::ToolTipRole:
        if (index.column() == SiteCount)
            return h.sites.join(u'\n');
        return {};
    case Qt::DecorationRole:
        if (index.column() == Title && decoration_)
            return decoration_(h.linkState);
        return {};
    case NewRole:
        return h.isNew;
    case LinkStateRole:
        return int(h.linkState);
    case ResultIndexRole:
        return int(h.index);
    case RankRole:
        return h.rank;
    case SitesRole:
        return h.sites;
    }
    return {};
}

QVariant HitListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= columnCount())
        return {};
    return headers().at(section);
}

HitListModel::Row HitListModel::rowOf(const Hit &hit, const QString &key)
{
    return {
        hit, key, {DateSortValue(hit.date), SizeSortValue(hit.size), ScoreSortValue(hit.score)}};
}

double HitListModel::sortNumber(int row, int column) const
{
    if (column < Date || column > Score)
        return std::nan("");
    return rows_.at(row).numbers[column - Date];
}

// The hit as the list keeps it: its position on its site, counted in the order hits come.
Hit HitListModel::arrived(Hit hit)
{
    const int position = ++siteHits_[hit.site];
    hit.sites = {hit.site};
    hit.positions = {position};
    hit.members = {hit.index};
    hit.rank = MergedRank(hit.positions);
    return hit;
}

void HitListModel::append(const QList<Hit> &hits)
{
    QList<Hit> fresh;
    fresh.reserve(hits.size());
    for (const Hit &hit : hits)
        fresh.append(arrived(hit));
    arrivals_.append(fresh);
    fold(fresh, true);
}

// Adds the hits as rows or, merging, into the rows of their pages. Rows that change are
// announced one by one so that a sorted view moves only them; new rows come in one insertion.
void HitListModel::fold(const QList<Hit> &hits, bool announce)
{
    const int first = int(rows_.size());
    QList<int> changed;
    QList<Row> added;
    for (const Hit &hit : hits) {
        const QString key = merging_ ? MergeKey(hit.url) : QString();
        const int row = merging_ ? keyRow_.value(key, -1) : -1;
        if (row < 0) {
            if (merging_)
                keyRow_.insert(key, first + int(added.size()));
            indexRow_.insert(hit.index, first + int(added.size()));
            added.append(rowOf(hit, key));
            continue;
        }
        indexRow_.insert(hit.index, row);
        if (row >= first) {
            Row &merged = added[row - first];
            absorb(merged.hit, hit);
            merged = rowOf(merged.hit, key);
        } else {
            absorb(rows_[row].hit, hit);
            rows_[row] = rowOf(rows_[row].hit, key);
            if (!changed.contains(row))
                changed.append(row);
        }
    }
    if (!announce) {
        rows_.append(added);
        return;
    }
    for (const int row : std::as_const(changed))
        Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1));
    if (added.isEmpty())
        return;
    beginInsertRows({}, first, first + int(added.size()) - 1);
    rows_.append(added);
    endInsertRows();
}

void HitListModel::clear()
{
    beginResetModel();
    rows_.clear();
    keyRow_.clear();
    indexRow_.clear();
    arrivals_.clear();
    removed_.clear();
    states_.clear();
    siteHits_.clear();
    endResetModel();
}

QList<int32_t> HitListModel::resultIndexes() const
{
    QList<int32_t> indexes;
    indexes.reserve(rows_.size());
    for (const Row &row : rows_)
        indexes.append(row.hit.index);
    return indexes;
}

int HitListModel::mergedCount() const
{
    int merged = 0;
    for (const Row &row : rows_)
        merged += int(row.hit.members.size()) - 1;
    return merged;
}

void HitListModel::markNew(const QSet<QString> &keys)
{
    if (keys.isEmpty() || rows_.isEmpty())
        return;
    for (Hit &h : arrivals_)
        h.isNew = h.isNew || keys.contains(MergeKey(h.url));
    for (Row &r : rows_)
        r.hit.isNew = r.hit.isNew || keys.contains(MergeKey(r.hit.url));
    Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                       {Qt::DisplayRole, Qt::FontRole, NewRole});
}

void HitListModel::setLinkState(int32_t index, int32_t state)
{
    const int row = rowOfIndex(index);
    if (row < 0)
        return;
    states_.insert(index, state);
    rows_[row].hit.linkState = state;
    Q_EMIT dataChanged(this->index(row, 0), this->index(row, 0),
                       {Qt::DecorationRole, LinkStateRole});
}

bool HitListModel::removeRows(int row, int count, const QModelIndex &parent)
{
    if (parent.isValid() || row < 0 || count < 1 || row + count > rows_.size())
        return false;
    QList<bool> marked(rows_.size(), false);
    for (int r = row; r < row + count; ++r)
        marked[r] = true;
    removeMarked(marked);
    return true;
}

int HitListModel::removeIf(const std::function<bool(const Hit &)> &remove)
{
    QList<bool> marked(rows_.size(), false);
    int count = 0;
    for (qsizetype r = 0; r < rows_.size(); ++r) {
        marked[r] = remove(rows_.at(r).hit);
        count += marked[r] ? 1 : 0;
    }
    if (count > 0)
        removeMarked(marked);
    return count;
}

HitListModel::Removal
HitListModel::removeDeadAndRepeated(const QList<int> &order,
                                    const std::function<bool(const Hit &, const Hit &)> &same)
{
    Removal removal;
    removal.before = int(rows_.size());
    QList<bool> marked(rows_.size(), false);
    QList<int> kept;
    for (const int r : order) {
        if (r < 0 || r >= rows_.size())
            continue;
        const Hit &hit = rows_.at(r).hit;
        bool repeated = false;
        for (qsizetype k = 0; k < kept.size() && !repeated; ++k)
            repeated = same(rows_.at(kept[k]).hit, hit);
        if (hit.linkState == kHitNotFound || repeated) {
            marked[r] = true;
        } else {
            kept.append(r);
            removal.keptIndexes.append(hit.index);
        }
    }
    removal.kept = int(kept.size());
    if (removal.kept < removal.before)
        removeMarked(marked);
    return removal;
}

// Removes the marked rows, each run of neighbours in one step, from the last run up so that
// the rows still to go keep their numbers.
void HitListModel::removeMarked(const QList<bool> &marked)
{
    int end = int(rows_.size());
    while (end > 0) {
        if (!marked[end - 1]) {
            --end;
            continue;
        }
        int start = end - 1;
        while (start > 0 && marked[start - 1])
            --start;
        beginRemoveRows({}, start, end - 1);
        for (int r = start; r < end; ++r) {
            for (const int32_t member : std::as_const(rows_.at(r).hit.members))
                removed_.insert(member);
        }
        rows_.remove(start, end - start);
        endRemoveRows();
        end = start;
    }
    reindex();
}

void HitListModel::reindex()
{
    keyRow_.clear();
    indexRow_.clear();
    for (qsizetype r = 0; r < rows_.size(); ++r) {
        const Hit &hit = rows_.at(r).hit;
        if (merging_)
            keyRow_.insert(rows_.at(r).key, int(r));
        for (const int32_t member : hit.members)
            indexRow_.insert(member, int(r));
    }
}
