// The 履歴 window's lists as plain models: the stored runs newest first, and the hits a search
// over the history found. QtCore only; the window shows them, tests read them directly.
#pragma once

#include "core/historyrecords.h"

#include <QAbstractTableModel>

#include <map>
#include <vector>

// A list of the window: its column heads, and the id of each line's run (RunRole).
class HistoryTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum { RunRole = Qt::UserRole + 1 }; // qint64: the line's run

    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

protected:
    HistoryTableModel(QStringList heads, QObject *parent);

private:
    QStringList heads_;
};

// The runs, newest first: 日時, 検索テーマ, キーワード, 件数, 失敗 (a watch's run shows its name
// after the topic).
class HistoryRunsModel : public HistoryTableModel {
    Q_OBJECT

public:
    explicit HistoryRunsModel(QObject *parent = nullptr);

    void setRuns(std::vector<HistoryRunSummary> runs, const std::vector<HistoryWatch> &watches);
    const HistoryRunSummary &run(int row) const { return runs_.at(size_t(row)); }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    std::vector<HistoryRunSummary> runs_;
    std::map<qint64, QString> watchNames_;
};

// The hits found: 日時, キーワード, タイトル, URL.
class HistoryMatchesModel : public HistoryTableModel {
    Q_OBJECT

public:
    explicit HistoryMatchesModel(QObject *parent = nullptr);

    void setMatches(std::vector<HistoryMatch> matches);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    std::vector<HistoryMatch> matches_;
};

// A run's time as the lists show it.
QString HistoryTimeText(const QDateTime &time);
