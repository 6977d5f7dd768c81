#include "core/runrules.h"

#include "core/runcontroller.h"

#include <cmath>

int32_t HarvestMost(int32_t limitLink, int32_t siteHits)
{
    return limitLink - siteHits;
}

int32_t HarvestTake(int32_t k, int32_t hitCount, int32_t siteHits, int32_t limitLink)
{
    int32_t added = 0;
    while (added < k) {
        if (hitCount + added >= kMaxListHits)
            break;
        if (siteHits + added >= limitLink)
            break;
        ++added;
    }
    return added;
}

bool WantsNextPage(int32_t siteHits, int32_t limitLink)
{
    return siteHits < limitLink;
}

bool MayFetchPage(int32_t siteHits, int32_t page)
{
    return !(siteHits < 1 && page > 3);
}

int32_t LinkStateOf(int32_t status)
{
    if (status < 0)
        return 0;
    switch (status) {
    case 0:
        return kLinkNoCheck;
    case 200:
        return kLinkOk;
    case 402:
    case 403:
        return kLinkForbidden;
    case 404:
    case 410: // gone for good: as dead as a page not found
        return kLinkNotFound;
    case 502:
        return kLinkNotConnect;
    default:
        return kLinkOther;
    }
}

QString LinkStateText(int32_t state)
{
    switch (state) {
    case kLinkNoCheck:
        return QStringLiteral("No Check");
    case kLinkOk:
        return QStringLiteral("OK");
    case kLinkNotFound:
        return QStringLiteral("Not Found");
    case kLinkOther:
        return QStringLiteral("Other Case");
    case kLinkNotConnect:
        return QStringLiteral("Not Connect");
    case kLinkForbidden:
        return QStringLiteral("Forbidden");
    default:
        return QString();
    }
}

QString LinkStateMeaning(int32_t state)
{
    switch (state) {
    case kLinkNoCheck:
        return QStringLiteral("No Check：まだリンク確認をしていません。");
    case kLinkOk:
        return QStringLiteral("OK：ページがあります。");
    case kLinkNotFound:
        return QStringLiteral("Not Found：ページがありません（削除または移動されています）。");
    case kLinkOther:
        return QStringLiteral(
            "Other "
            "Case：ページはあるかもしれませんが、転送やサーバーの不調など、OK以外の応答でした。");
    case kLinkTopic:
        return QStringLiteral("検索テーマのサイトです。");
    case kLinkNotConnect:
        return QStringLiteral("Not Connect：サーバーに接続できませんでした。");
    case kLinkForbidden:
        return QStringLiteral("Forbidden：ページはありますが、閲覧が禁止されています。");
    default:
        return QString();
    }
}

QString FetchStageText(int32_t status)
{
    switch (status) {
    case -10:
        return QStringLiteral("接続開始");
    case -11:
    case -14:
        return QStringLiteral("送信中");
    case -12:
        return QStringLiteral("接続中");
    case -13:
        return QStringLiteral("送信準備");
    case -15:
        return QStringLiteral("受信中");
    default:
        return QString();
    }
}

QString CheckSecondsText(int32_t hundredths)
{
    QString text = QString::number(hundredths / 100);
    int32_t rest = hundredths % 100;
    if (rest != 0) {
        text += QLatin1Char('.') + QString::number(rest / 10);
        if (rest % 10 != 0)
            text += QString::number(rest % 10);
    }
    return text;
}

int32_t Hundredths(double seconds)
{
    return static_cast<int32_t>(std::lround(seconds * 100.0));
}

int32_t WholeSeconds(double seconds)
{
    return static_cast<int32_t>(std::lround(seconds));
}
