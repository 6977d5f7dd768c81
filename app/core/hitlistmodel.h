// The hits of the current search as the result list shows them: one row per hit, or with
// merging on one row per page that several sites found. The model is the only copy of the
// list: commands act on its rows, never on what a view shows.
#pragma once

#include "core/hit.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QSet>

#include <array>
#include <functional>

class HitListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { Title, Url, Preview, Date, Size, Score, Site, SiteCount /* merging on */ };
    enum Role {
        LinkStateRole = Qt::UserRole + 1, // int, column 0: the row's link state (icon number)
        ResultIndexRole,                  // int: the row's result index
        RankRole,                         // double: the merged rank
        SitesRole,                        // QStringList: the sites that found the page
        // bool: the hit is new to its watch. The view draws such a row bold: the model, free
        // of Qt's Gui module, can't give a font.
        NewRole,
    };

    // What HitListModel::removeDeadAndRepeated did.
    struct Removal {
        int before = 0;
        int kept = 0;
        QList<int32_t> keptIndexes; // the rows kept, as result indexes in the order visited
    };

    explicit HitListModel(QObject *parent = nullptr);

    // The view's picture for a link state (a QIcon in a QVariant), shown in column 0; the
    // model itself knows only the state's number.
    void setDecoration(std::function<QVariant(int32_t state)> decoration);

    // Merging folds every hit of the same page (core/merge.h) into one row and adds the
    // column "サイト". Switching it builds the rows again from the hits that arrived and were
    // not removed, link states kept.
    void setMerging(bool on);
    bool merging() const { return merging_; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool removeRows(int row, int count, const QModelIndex &parent = {}) override;

    // Adds hits in the order found. Each gets its position on its site; with merging on, a hit
    // whose page is listed joins that row (the longer title and preview win, the first on a
    // tie; an empty date, size or score is filled), which is then announced by dataChanged.
    void append(const QList<Hit> &hits);
    void append(const Hit &hit) { append(QList<Hit>{hit}); }
    void clear();

    const Hit &hit(int row) const { return rows_.at(row).hit; }
    // The row holding the hit of that result index (a member of a merged row too), or -1.
    int rowOfIndex(int32_t index) const { return indexRow_.value(index, -1); }
    // The number a size, score or date sort reads from the row's text; NaN when none.
    double sortNumber(int row, int column) const;
    // The rows' result indexes in the order the hits were found: the report's order.
    QList<int32_t> resultIndexes() const;
    // Hits folded into another row, among the rows listed.
    int mergedCount() const;

    // Sets the link state of the row holding the hit; an index no row holds changes nothing.
    void setLinkState(int32_t index, int32_t state);
    // Marks the hits whose page (merge key) is among keys as new to their watch: a mark
    // before the title and NewRole, which the view draws bold. Kept when merging is switched.
    void markNew(const QSet<QString> &keys);
    // Removes every row the predicate holds for; returns how many went.
    int removeIf(const std::function<bool(const Hit &)> &remove);
    // Delete-dead: visits the rows in the order given (the view's, as source rows) and removes
    // each that is dead (kHitNotFound) or the same page as a row kept before it, by same.
    Removal removeDeadAndRepeated(const QList<int> &order,
                                  const std::function<bool(const Hit &, const Hit &)> &same);

private:
    struct Row {
        Hit hit;
        QString key;                     // merge key, with merging on
        std::array<double, 3> numbers{}; // date, size, score
    };

    Hit arrived(Hit hit);
    void fold(const QList<Hit> &hits, bool announce);
    void removeMarked(const QList<bool> &marked);
    void reindex();
    static Row rowOf(const Hit &hit, const QString &key);

    QList<Row> rows_;
    QHash<QString, int> keyRow_;     // merge key -> row (merging on)
    QHash<int32_t, int> indexRow_;   // every member's result index -> row
    QList<Hit> arrivals_;            // every hit since clear, as it came
    QSet<int32_t> removed_;          // result indexes removed since clear
    QHash<int32_t, int32_t> states_; // link states set since clear, by result index
    QHash<QString, int> siteHits_;   // hits per site name since clear
    bool merging_ = false;
    std::function<QVariant(int32_t)> decoration_;
};
