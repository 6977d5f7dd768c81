// The history at its bound for the benchmarks: 200 stored runs of 1000 hits each (Japanese
// titles and previews, varied URLs), in a sandbox file made once per program.
#pragma once

#include "core/historystore.h"
#include "sandbox.h"

#include <random>

namespace historyfill {

constexpr int kRuns = 200;
constexpr int kHits = 1000;

inline const QStringList kWords = {
    QStringLiteral("天気予報"), QStringLiteral("東京"),     QStringLiteral("大阪"),
    QStringLiteral("観光"),     QStringLiteral("ニュース"), QStringLiteral("経済"),
    QStringLiteral("スポーツ"), QStringLiteral("レシピ"),   QStringLiteral("料理"),
    QStringLiteral("旅行"),     QStringLiteral("温泉"),     QStringLiteral("映画"),
    QStringLiteral("音楽"),     QStringLiteral("ゲーム"),   QStringLiteral("株価"),
    QStringLiteral("選挙"),     QStringLiteral("地震"),     QStringLiteral("台風"),
    QStringLiteral("の"),       QStringLiteral("と"),       QStringLiteral("について"),
    QStringLiteral("まとめ"),   QStringLiteral("最新"),     QStringLiteral("情報")};

inline QString phrase(std::mt19937 &random, int words)
{
    QString text;
    for (int i = 0; i < words; ++i)
        text += kWords[qsizetype(random() % kWords.size())];
    return text;
}

inline HistoryRun makeRun(std::mt19937 &random, int number)
{
    HistoryRun run;
    run.time = QDateTime::fromSecsSinceEpoch(1700000000 + 3600LL * number);
    run.topic = QStringLiteral("ニュース");
    run.keywords = phrase(random, 2);
    for (int s = 0; s < 20; ++s)
        run.outcomes.push_back(
            {QStringLiteral("site%1").arg(s), 1, 0, QStringLiteral("見つかりました"), s == 7});
    for (int i = 1; i <= kHits; ++i) {
        HistoryHit hit;
        hit.rank = i;
        hit.title = phrase(random, 4) + QStringLiteral(" - site%1").arg(i % 20);
        hit.url = QStringLiteral("https://www%1.example.jp/%2/%3.html")
                      .arg(random() % 5000)
                      .arg(random() % 100000)
                      .arg(i);
        hit.preview = phrase(random, 24);
        hit.date = QStringLiteral("2024/05/%1").arg(i % 28 + 1);
        hit.site = QStringLiteral("site%1").arg(i % 20);
        run.hits.push_back(hit);
    }
    return run;
}

// The filled file, made on first use and shared by every benchmark.
struct Filled {
    testsupport::Sandbox sandbox;
    QString path = QString::fromStdString((sandbox.path() / "history.sqlite3").string());
    std::mt19937 random{25};
    int stored = 0;

    Filled()
    {
        HistoryStore store;
        if (!store.open(path))
            return;
        for (; stored < kRuns; ++stored)
            if (!store.storeRun(makeRun(random, stored)))
                return;
    }
};

inline Filled &filled()
{
    static Filled f;
    return f;
}

} // namespace historyfill
