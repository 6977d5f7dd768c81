#include "history/historymodels.h"

QString HistoryTimeText(const QDateTime &time)
{
    return time.toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

HistoryTableModel::HistoryTableModel(QStringList heads, QObject *parent)
    : QAbstractTableModel(parent), heads_(std::move(heads))
{
}

int HistoryTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(heads_.size());
}

QVariant HistoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= heads_.size())
        return {};
    return heads_.at(section);
}

HistoryRunsModel::HistoryRunsModel(QObject *parent)
    : HistoryTableModel({QStringLiteral("日時"), QStringLiteral("検索テーマ"),
                         QStringLiteral("キーワード"), QStringLiteral("件数"),
                         QStringLiteral("失敗")},
                        parent)
{
}

HistoryMatchesModel::HistoryMatchesModel(QObject *parent)
    : HistoryTableModel({QStringLiteral("日時"), QStringLiteral("キーワード"),
                         QStringLiteral("タイトル"), QStringLiteral("URL")},
                        parent)
{
}

void HistoryRunsModel::setRuns(std::vector<HistoryRunSummary> runs,
                               const std::vector<HistoryWatch> &watches)
{
    beginResetModel();
    runs_ = std::move(runs);
    watchNames_.clear();
    for (const HistoryWatch &w : watches)
        watchNames_[w.id] = w.name;
    endResetModel();
}

int HistoryRunsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(runs_.size());
}

QVariant HistoryRunsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || size_t(index.row()) >= runs_.size())
        return {};
    const HistoryRunSummary &r = runs_[size_t(index.row())];
    if (role == RunRole)
        return r.id;
    if (role == Qt::TextAlignmentRole && index.column() >= 3)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case 0:
        return HistoryTimeText(r.time);
    case 1: {
        const auto watch = watchNames_.find(r.watch);
        return watch == watchNames_.end()
                   ? r.topic
                   : QStringLiteral("%1（監視：%2）").arg(r.topic, watch->second);
    }
    case 2:
        return r.keywords;
    case 3:
        return r.hits;
    case 4:
        return r.failures;
    }
    return {};
}

void HistoryMatchesModel::setMatches(std::vector<HistoryMatch> matches)
{
    beginResetModel();
    matches_ = std::move(matches);
    endResetModel();
}

int HistoryMatchesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(matches_.size());
}

QVariant HistoryMatchesModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || size_t(index.row()) >= matches_.size())
        return {};
    const HistoryMatch &m = matches_[size_t(index.row())];
    if (role == RunRole)
        return m.run;
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case 0:
        return HistoryTimeText(m.time);
    case 1:
        return m.keywords;
    case 2:
        return m.hit.title;
    case 3:
        return m.hit.url;
    }
    return {};
}
