// The result list's model and its sort: columns, sorting by numbers and dates, merging as hits
// stream in, link states and the row removals the commands make.
#include "core/encoding.h"
#include "core/hitlistmodel.h"
#include "core/hitsort.h"
#include "core/merge.h"
#include "tessel.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

Hit hit(int32_t index, const QString &site, const QString &url, const QString &title = {})
{
    Hit h;
    h.index = index;
    h.site = site;
    h.url = url;
    h.title = title.isNull() ? QStringLiteral("t%1").arg(index) : title;
    return h;
}

// The titles of the rows in the order the proxy shows them.
QStringList shown(const QAbstractItemModel &model)
{
    QStringList titles;
    for (int r = 0; r < model.rowCount(); ++r)
        titles << model.index(r, HitListModel::Title).data().toString();
    return titles;
}

} // namespace

class HitModelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsTheRecordLayout();
    void columns();
    void sortsByNumbersAndDates_data();
    void sortsByNumbersAndDates();
    void equalRowsKeepTheirOrder();
    void mergesAsHitsArrive();
    void mergedRowMovesInARankSort();
    void linkStateByResultIndex();
    void deleteDeadAndRepeated();
    void removeOneAndClear();
    void mergingSwitchedKeepsStatesAndRemovals();
};

void HitModelTest::readsTheRecordLayout()
{
    QByteArray record(TESSEL_RESULT_SIZE, '\0');
    const struct {
        int at, width;
        QString text;
    } fields[] = {
        {TESSEL_RESULT_SITE_AT, TESSEL_RESULT_SITE_WIDTH, QStringLiteral("サイトA")},
        {TESSEL_RESULT_TITLE_AT, TESSEL_RESULT_TITLE_WIDTH, QStringLiteral("R&amp;D 日本")},
        {TESSEL_RESULT_URL_AT, TESSEL_RESULT_URL_WIDTH, QStringLiteral("https://a.jp/?x=1&amp;y")},
        {TESSEL_RESULT_PREVIEW_AT, TESSEL_RESULT_PREVIEW_WIDTH, QStringLiteral("preview")},
        {TESSEL_RESULT_SCORE_AT, TESSEL_RESULT_SCORE_WIDTH, QStringLiteral("95%")},
        {TESSEL_RESULT_SIZE_AT, TESSEL_RESULT_SIZE_WIDTH, QStringLiteral("12 KB")},
        {TESSEL_RESULT_DATE_AT, TESSEL_RESULT_DATE_WIDTH, QStringLiteral("2024年5月2日")},
    };
    for (const auto &f : fields)
        QVERIFY(writeCp932Field(f.text, record.data() + f.at, f.width));
    const Hit h = HitFromRecord(record.constData(), 17, 1234);
    const QStringList got = {h.site, h.title, h.url, h.preview, h.score, h.size, h.date};
    QCOMPARE(got, (QStringList{"サイトA", "R&D 日本", "https://a.jp/?x=1&y", "preview", "95%",
                               "12 KB", "2024年5月2日"}));
    QCOMPARE(h.index, 17);
    QCOMPARE(h.firstSeen, 1234);
    QCOMPARE(h.linkState, int32_t(kHitNoCheck));
}

void HitModelTest::columns()
{
    HitListModel model;
    QStringList headers;
    for (int c = 0; c < model.columnCount(); ++c)
        headers << model.headerData(c, Qt::Horizontal).toString();
    QCOMPARE(headers, (QStringList{"TITLE", "URL", "PREVIEW", "DATE", "SIZE", "SCORE", "SITE"}));
    model.setMerging(true);
    QCOMPARE(model.columnCount(), 8);
    QCOMPARE(model.headerData(HitListModel::SiteCount, Qt::Horizontal).toString(),
             QStringLiteral("サイト"));
}

void HitModelTest::sortsByNumbersAndDates_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QStringList>("ascending"); // the texts in ascending order
    QTest::newRow("score") << int(HitListModel::Score)
                           << QStringList{"98765 downloads", "なし", "9 downloads",
                                          "１０ downloads", "1,200 downloads"}
                           << QStringList{"9 downloads", "１０ downloads", "1,200 downloads",
                                          "98765 downloads", "なし"};
    QTest::newRow("size") << int(HitListModel::Size)
                          << QStringList{"1.5 MB", "12 KB (1,024 語)", "1,200 × 800 (245 KB)",
                                         "800 B", "?"}
                          << QStringList{"800 B", "12 KB (1,024 語)", "1,200 × 800 (245 KB)",
                                         "1.5 MB", "?"};
    QTest::newRow("date") << int(HitListModel::Date)
                          << QStringList{"2024年5月2日 (木) 10:15",
                                         "2 May, 2024",
                                         "First published in 1954",
                                         "Feb 18, 2024",
                                         "2024-05-02 09:00",
                                         "Marketing",
                                         "2023.12.31"}
                          << QStringList{"First published in 1954",
                                         "2023.12.31",
                                         "Feb 18, 2024",
                                         "2 May, 2024",
                                         "2024-05-02 09:00",
                                         "2024年5月2日 (木) 10:15",
                                         "Marketing"};
    QTest::newRow("title as text")
        << int(HitListModel::Title) << QStringList{"beta", "Alpha", "alpha 2", "10", "9"}
        << QStringList{"10", "9", "Alpha", "alpha 2", "beta"};
}

void HitModelTest::sortsByNumbersAndDates()
{
    QFETCH(int, column);
    QFETCH(QStringList, texts);
    QFETCH(QStringList, ascending);
    HitListModel model;
    HitSortProxy proxy;
    proxy.setSourceModel(&model);
    // Half before the sort, half streaming in while sorted.
    for (int i = 0; i < texts.size(); ++i) {
        if (i == texts.size() / 2)
            proxy.sortByColumn(column, Qt::AscendingOrder);
        Hit h = hit(i, QStringLiteral("s"), QStringLiteral("https://e.com/%1").arg(i), texts[i]);
        h.date = h.size = h.score = texts[i];
        model.append(h);
    }
    QCOMPARE(shown(proxy), ascending);
    QStringList descending(ascending.rbegin(), ascending.rend());
    proxy.sortByColumn(column, Qt::DescendingOrder);
    QCOMPARE(shown(proxy), descending);
}

void HitModelTest::equalRowsKeepTheirOrder()
{
    HitListModel model;
    HitSortProxy proxy;
    proxy.setSourceModel(&model);
    for (const auto &[title, score] : {std::pair{"a", "5"}, {"b", "1"}, {"c", "5"}, {"d", "1"}}) {
        Hit h =
            hit(int32_t(model.rowCount()), "s", QStringLiteral("https://e.com/") + title, title);
        h.score = score;
        model.append(h);
    }
    proxy.sortByColumn(HitListModel::Score, Qt::AscendingOrder);
    QCOMPARE(shown(proxy), (QStringList{"b", "d", "a", "c"}));
    proxy.sortByColumn(HitListModel::Score, Qt::DescendingOrder);
    QCOMPARE(shown(proxy), (QStringList{"a", "c", "b", "d"}));
}

void HitModelTest::mergesAsHitsArrive()
{
    HitListModel model;
    model.setMerging(true);
    model.append({hit(0, "A", "https://www.example.com/page/", "Page"),
                  hit(1, "A", "https://example.com/other")});
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    Hit variant = hit(2, "B", "http://example.com/page?utm_source=x#top", "Page — longer title");
    variant.preview = QStringLiteral("what B says");
    variant.date = QStringLiteral("2024-05-02");
    model.append(variant);

    QCOMPARE(inserted.count(), 0);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.first().at(0).toModelIndex().row(), 0);
    QCOMPARE(model.rowCount(), 2);
    const Hit &row = model.hit(0);
    QCOMPARE(row.title, QStringLiteral("Page — longer title"));
    QCOMPARE(row.preview, QStringLiteral("what B says"));
    QCOMPARE(row.date, QStringLiteral("2024-05-02"));
    QCOMPARE(row.url, QStringLiteral("https://www.example.com/page/")); // the first finder's
    QCOMPARE(row.index, 0);
    QCOMPARE(row.members, (QList<int32_t>{0, 2}));
    QCOMPARE(row.rank, MergedRank({1, 1}));
    QCOMPARE(model.index(0, HitListModel::SiteCount).data().toInt(), 2);
    QCOMPARE(model.index(0, HitListModel::SiteCount).data(Qt::ToolTipRole).toString(),
             QStringLiteral("A\nB"));
    QCOMPARE(model.rowOfIndex(2), 0);
    QCOMPARE(model.mergedCount(), 1);
    QCOMPARE(model.resultIndexes(), (QList<int32_t>{0, 1}));

    // The same site listing the page again is no second opinion.
    model.append(hit(3, "A", "https://example.com/page"));
    QCOMPARE(model.hit(0).rank, MergedRank({1, 1}));
    QCOMPARE(model.hit(0).sites, (QStringList{"A", "B"}));
}

void HitModelTest::mergedRowMovesInARankSort()
{
    HitListModel model;
    model.setMerging(true);
    HitSortProxy proxy;
    proxy.setSourceModel(&model);
    proxy.sortByRank();
    QVERIFY(proxy.sortedByRank());
    model.append({hit(0, "A", "https://e.com/1", "one"), hit(1, "A", "https://e.com/2", "two"),
                  hit(2, "A", "https://e.com/3", "three")});
    QCOMPARE(shown(proxy), (QStringList{"one", "two", "three"}));
    model.append(hit(3, "B", "https://e.com/3/", "three"));
    QCOMPARE(shown(proxy), (QStringList{"three", "one", "two"}));
}

void HitModelTest::linkStateByResultIndex()
{
    HitListModel model;
    model.setDecoration([](int32_t state) { return QVariant(state * 10); });
    model.append({hit(4, "A", "https://e.com/1"), hit(9, "A", "https://e.com/2")});
    model.setLinkState(9, kHitOk);
    model.setLinkState(5, kHitNotFound); // no row holds it
    QCOMPARE(model.index(1, 0).data(HitListModel::LinkStateRole).toInt(), int(kHitOk));
    QCOMPARE(model.index(1, 0).data(Qt::DecorationRole).toInt(), 20);
    QCOMPARE(model.index(0, 0).data(HitListModel::LinkStateRole).toInt(), int(kHitNoCheck));
}

void HitModelTest::deleteDeadAndRepeated()
{
    HitListModel model;
    HitSortProxy proxy;
    proxy.setSourceModel(&model);
    model.append({hit(0, "A", "https://e.com/x", "c"), hit(1, "A", "https://e.com/dead", "a"),
                  hit(2, "B", "HTTPS://E.COM/X/", "b"), hit(3, "B", "https://e.com/y", "d")});
    model.setLinkState(1, kHitNotFound);
    proxy.sortByColumn(HitListModel::Title, Qt::AscendingOrder);
    // Visited as shown: "b" comes before "c", so of the repeated page "b" stays.
    const auto sameUrl = [](const Hit &a, const Hit &b) {
        return a.url.compare(b.url, Qt::CaseInsensitive) == 0 ||
               a.url.compare(b.url + u'/', Qt::CaseInsensitive) == 0 ||
               b.url.compare(a.url + u'/', Qt::CaseInsensitive) == 0;
    };
    const HitListModel::Removal r = model.removeDeadAndRepeated(proxy.sourceOrder(), sameUrl);
    QCOMPARE(r.before, 4);
    QCOMPARE(r.kept, 2);
    QCOMPARE(r.keptIndexes, (QList<int32_t>{2, 3}));
    QCOMPARE(shown(proxy), (QStringList{"b", "d"}));
    QCOMPARE(model.rowOfIndex(3), 1);
    QCOMPARE(model.rowOfIndex(0), -1);
}

void HitModelTest::removeOneAndClear()
{
    HitListModel model;
    model.append({hit(0, "A", "https://e.com/1"), hit(1, "A", "https://e.com/2"),
                  hit(2, "A", "https://e.com/3")});
    QVERIFY(model.removeRow(1));
    QCOMPARE(model.resultIndexes(), (QList<int32_t>{0, 2}));
    QCOMPARE(model.removeIf([](const Hit &h) { return h.index == 2; }), 1);
    QCOMPARE(model.resultIndexes(), (QList<int32_t>{0}));
    model.clear();
    QCOMPARE(model.rowCount(), 0);
    // Positions on a site count again from the first hit after a clear.
    model.append(hit(0, "A", "https://e.com/1"));
    QCOMPARE(model.hit(0).positions, (QList<int>{1}));
}

void HitModelTest::mergingSwitchedKeepsStatesAndRemovals()
{
    HitListModel model;
    model.append({hit(0, "A", "https://e.com/1"), hit(1, "B", "https://www.e.com/1"),
                  hit(2, "A", "https://e.com/2"), hit(3, "B", "https://e.com/3")});
    model.setLinkState(0, kHitOk);
    QVERIFY(model.removeRow(3));
    model.setMerging(true);
    QCOMPARE(model.resultIndexes(), (QList<int32_t>{0, 2}));
    QCOMPARE(model.hit(0).linkState, int32_t(kHitOk));
    QCOMPARE(model.hit(0).positions, (QList<int>{1, 1}));
    model.setMerging(false);
    QCOMPARE(model.resultIndexes(), (QList<int32_t>{0, 1, 2}));
}

QTEST_GUILESS_MAIN(HitModelTest)
#include "hitmodel_test.moc"
