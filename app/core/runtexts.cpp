#include "core/runtexts.h"

static QString num(int32_t n)
{
    return QString::number(n);
}

QString SearchActiveText(int32_t active)
{
    return QStringLiteral("検索中の接続数=") + num(active);
}

QString SearchSitesText(int32_t active)
{
    return QStringLiteral("検索中のサイト数=") + num(active);
}

QString HitCountText(int32_t hits)
{
    return QStringLiteral("検索結果のリンク数=") + num(hits);
}

QString RunningHitsSuffix(int32_t hits)
{
    return QStringLiteral("。検索結果のリンク数＝") + num(hits);
}

QString EndHitsSuffix(int32_t hits)
{
    return QStringLiteral("検索結果のリンク数＝") + num(hits);
}

QString SiteFoundText(int32_t siteHits)
{
    return siteHits > 0 ? num(siteHits) + QStringLiteral("件が見つかりました。") : QString();
}

QString SiteFoundRowText(int32_t siteHits)
{
    return siteHits >= 1 ? num(siteHits) + QStringLiteral("件が見つかりました") : QString();
}

QString TopicSitesText(int32_t sites)
{
    return QStringLiteral("検索テーマのサイト数=") + num(sites);
}

QString RunEndText(bool stopped)
{
    return stopped ? QStringLiteral("中止しました。") : QStringLiteral("終了しました。");
}

QString StoppingText()
{
    return QStringLiteral("中止の準備中です。しばらくお待ちください。");
}

QString ElapsedText(const QString &status, int32_t ticks)
{
    return status + QStringLiteral("(時間経過=") + num(ticks) + QStringLiteral("秒)");
}

QString CheckActiveText(int32_t active)
{
    return QStringLiteral("確認中の接続数=") + num(active);
}

QString DeadLineText(int32_t dead)
{
    return QStringLiteral("リンク切れの数＝") + num(dead);
}

QString CheckingText(int32_t hits)
{
    return QStringLiteral("総数") + num(hits) + QStringLiteral("リンクをチェックしております。");
}

QString DeadFoundText(int32_t dead)
{
    return num(dead) + QStringLiteral("件リンク切れが見つかりました。");
}

QString DeadEndText(int32_t dead)
{
    return dead < 1 ? QStringLiteral("リンク切れが見つかりませんでした。") : DeadFoundText(dead);
}

QString CheckedText(int32_t hits, int32_t left)
{
    return num(hits - left) + QStringLiteral("/") + num(hits) + QStringLiteral("件が確認済み、");
}

QString DelDeadResultText(int32_t before, int32_t kept)
{
    if (kept == before)
        return QStringLiteral("有効リンク数は") + num(before) + QStringLiteral("個です。");
    return QStringLiteral("有効リンク数は") + num(before) + QStringLiteral("個から") + num(kept) +
           QStringLiteral("個になりました。");
}

QString FailedSitesTip(int32_t failed)
{
    return num(failed) + QStringLiteral("件のサイトから検索結果を取得できませんでした。"
                                        "クリックすると「検索中」ウィンドウにサイトごとの理由を"
                                        "表示します。");
}
