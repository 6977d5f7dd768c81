// Every progress text of the search and check runs. The equals signs differ on purpose:
// the running counts use the ASCII "=", the hit counts appended to a status line the
// full-width "＝".
#pragma once

#include <QString>

#include <cstdint>

// ---- search run ----
QString SearchActiveText(int32_t active);   // 検索中の接続数=N
QString SearchSitesText(int32_t active);    // 検索中のサイト数=N
QString HitCountText(int32_t hits);         // 検索結果のリンク数=N
QString RunningHitsSuffix(int32_t hits);    // 。検索結果のリンク数＝N
QString EndHitsSuffix(int32_t hits);        // 検索結果のリンク数＝N
QString SiteFoundText(int32_t siteHits);    // N件が見つかりました。 (empty below 1)
QString SiteFoundRowText(int32_t siteHits); // N件が見つかりました (Init_Form; empty below 1)
QString TopicSitesText(int32_t sites);      // 検索テーマのサイト数=N
QString RunEndText(bool stopped);           // 終了しました。 / 中止しました。
QString StoppingText(); // 中止の準備中です。しばらくお待ちください。
// The tip of the status bar's mark after a search in which sites failed.
QString FailedSitesTip(int32_t failed); // N件のサイトから検索結果を取得できませんでした。…

// ---- both runs ----
QString ElapsedText(const QString &status, int32_t ticks); // status(時間経過=N秒)

// ---- check run ----
QString CheckActiveText(int32_t active); // 確認中の接続数=N
QString DeadLineText(int32_t dead);      // リンク切れの数＝N
QString CheckingText(int32_t hits);      // 総数Nリンクをチェックしております。
QString DeadFoundText(int32_t dead);     // N件リンク切れが見つかりました。
QString DeadEndText(int32_t dead);       // as DeadFoundText, or none found
QString CheckedText(int32_t hits, int32_t left); // (hits - left)/hits件が確認済み、

// ---- dead-link removal ----
QString DelDeadResultText(int32_t before, int32_t kept);
