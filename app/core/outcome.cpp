#include "core/outcome.h"

#include "tessel.h"

#include <QDateTime>

SiteResult OutcomeOfFetch(int32_t fetchResult, int32_t siteHits, int32_t pageKind)
{
    if (siteHits > 0)
        return {SiteOutcome::Found};
    if (pageKind == TESSEL_PAGE_BLOCKED)
        return {SiteOutcome::Blocked};
    if (pageKind == TESSEL_PAGE_NO_HITS)
        return {SiteOutcome::Empty};
    if (fetchResult >= 100 && fetchResult <= 999)
        return fetchResult >= 400 ? SiteResult{SiteOutcome::HttpError, fetchResult}
                                  : SiteResult{SiteOutcome::NoHits};
    switch (fetchResult) {
    case TESSEL_FETCH_NAME:
        return {SiteOutcome::NameNotFound};
    case TESSEL_FETCH_CONNECT:
        return {SiteOutcome::CannotConnect};
    case TESSEL_FETCH_TLS:
        return {SiteOutcome::SecureFailed};
    case TESSEL_FETCH_TIMEOUT:
        return {SiteOutcome::TimedOut};
    case TESSEL_FETCH_BAD_REQUEST:
        return {SiteOutcome::NotBuilt, TESSEL_FETCH_BAD_REQUEST};
    case TESSEL_FETCH_CANCELLED:
        return {SiteOutcome::Stopped};
    case 0:
        return {SiteOutcome::Pending};
    default:
        return {SiteOutcome::NoAnswer};
    }
}

bool IsFailure(const SiteResult &result)
{
    switch (result.kind) {
    case SiteOutcome::Pending:
    case SiteOutcome::Found:
    case SiteOutcome::Empty:
    case SiteOutcome::Stopped:
    case SiteOutcome::Skipped:
    case SiteOutcome::ListFull:
        return false;
    default:
        return true;
    }
}

namespace {

struct Texts {
    const char *japanese;
    const char *english;
};

QString pick(const Texts &t, OutcomeLanguage language)
{
    return QString::fromUtf8(language == OutcomeLanguage::Japanese ? t.japanese : t.english);
}

// Why iForm could not build a request, from its error code.
Texts notBuiltReason(int32_t code)
{
    switch (code) {
    case TESSEL_E_NO_KEYWORD:
        return {"送れる語がありません", "no word that can be sent"};
    case TESSEL_E_ONE_WORD_SITE:
        return {"このサイトは1語でしか検索できません", "the site takes one word only"};
    case TESSEL_E_NO_LIST:
        return {"このサイトはこの検索方法に対応していません",
                "the site has no request for this search method"};
    case TESSEL_E_REQUEST_TOO_LONG:
        return {"キーワードが長すぎます", "the keywords are too long"};
    default:
        return {"サイトの設定に誤りがあります", "the site's request template is faulty"};
    }
}

} // namespace

QString OutcomeText(const SiteResult &result, OutcomeLanguage language)
{
    const bool ja = language == OutcomeLanguage::Japanese;
    switch (result.kind) {
    case SiteOutcome::Pending:
        return QString();
    case SiteOutcome::Found:
        return pick({"完了", "done"}, language);
    case SiteOutcome::NoHits:
        return pick({"ページは読めましたがヒットを取り出せません（抽出スクリプトがサイトに"
                     "合わなくなった可能性があります）",
                     "page read but no hits taken (its extraction script may no longer fit "
                     "the site)"},
                    language);
    case SiteOutcome::Empty:
        return pick({"見つかりませんでした", "nothing found"}, language);
    case SiteOutcome::Blocked: {
        const QString base = pick({"アクセスが制限されています", "blocked"}, language);
        if (result.until <= 0)
            return base;
        const QString at =
            QDateTime::fromSecsSinceEpoch(result.until).toString(QStringLiteral("HH:mm"));
        return ja ? base + QStringLiteral("（次の試行 ") + at + QStringLiteral("）")
                  : base + QStringLiteral(", next try at ") + at;
    }
    case SiteOutcome::NameNotFound:
        return pick({"ホスト名を解決できません", "host name could not be resolved"}, language);
    case SiteOutcome::CannotConnect:
        return pick({"接続できません", "cannot connect"}, language);
    case SiteOutcome::SecureFailed:
        return pick({"安全な接続に失敗しました", "secure connection failed"}, language);
    case SiteOutcome::TimedOut:
        return pick({"制限時間内に応答がありません", "no answer within the time limit"}, language);
    case SiteOutcome::NoAnswer:
        return pick({"応答がないまま接続が切れました", "the connection ended without an answer"},
                    language);
    case SiteOutcome::HttpError:
        return (ja ? QStringLiteral("HTTPエラー ") : QStringLiteral("HTTP error ")) +
               QString::number(result.code);
    case SiteOutcome::NotBuilt:
        return pick({"リクエストを作成できません", "request could not be built"}, language) +
               (result.code != 0 ? (ja ? QStringLiteral("（") : QStringLiteral(" (")) +
                                       pick(notBuiltReason(result.code), language) +
                                       (ja ? QStringLiteral("）") : QStringLiteral(")"))
                                 : QString());
    case SiteOutcome::Stopped:
        return pick({"中止しました", "stopped"}, language);
    case SiteOutcome::Skipped:
        return pick({"検索していません（このサイトの文字コードではキーワードを送れません）",
                     "not searched (the site's encoding can't carry the keywords)"},
                    language);
    case SiteOutcome::ListFull:
        return pick({"一覧が満杯のため取り込みませんでした", "not taken: the hit list is full"},
                    language);
    }
    return QString();
}
