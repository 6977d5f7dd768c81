// Sorting the result list: the numbers and dates a size, score or date text holds, and the
// proxy that sorts a HitListModel's rows by them.
#pragma once

#include <QSortFilterProxyModel>
#include <QString>

class HitListModel;

// What a sort reads from a cell: a size in bytes ("12 KB", "1.5 MB"; the first number with a
// byte unit, else the first number), a score (its first number: "98765 downloads", "95%"), a
// date as YYYYMMDDhhmm ("2024年5月2日 (木) 10:15", "2024-05-02", "2 May, 2024",
// "Feb 18, 2024", a year alone). Full-width digits count. NaN when the text holds none.
double SizeSortValue(const QString &text);
double ScoreSortValue(const QString &text);
double DateSortValue(const QString &text);

// Sorts a HitListModel: text columns as text ignoring letter case; size, score and date by
// their numbers, texts without one after all numbers (before them when descending); the
// merged rank higher first. Rows that compare equal keep their order. Rows added or merged
// while sorted go to their place without sorting the rest again.
class HitSortProxy : public QSortFilterProxyModel {
    Q_OBJECT

public:
    explicit HitSortProxy(QObject *parent = nullptr);

    void setSourceModel(QAbstractItemModel *model) override;

    // A header click's sort.
    void sortByColumn(int column, Qt::SortOrder order);
    // "おすすめ順": the merged rank, higher first.
    void sortByRank();
    bool sortedByRank() const;

    // The source rows in the order shown: the order delete-dead visits them in.
    QList<int> sourceOrder() const;

protected:
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    const HitListModel *hits_ = nullptr;
};
