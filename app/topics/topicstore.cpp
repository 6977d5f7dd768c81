#include "topics/topicstore.h"

#include "common/atomicfile.h"
#include "common/encoding.h"
#include "common/messagebox.h"
#include "common/progdir.h"
#include "common/runhooks.h"
#include "settings/settings.h"
#include "topics/topicsfile.h"

#include <algorithm>

namespace {

const char *const kTopicsFile = "TOPICS.DAT";

// Set when "TOPICS.DAT" existed but could not be read: the orderly end must not replace the
// user's topics with the empty store.
bool g_keepUnreadableFile = false;

bool validTopic(int32_t topic)
{
    return topic >= 0 && topic < topicStore().count;
}

bool validSite(int32_t site)
{
    return site >= 0 && site < siteInfoList().count;
}

} // namespace

SiteInfoList &siteInfoList()
{
    static SiteInfoList list;
    return list;
}

TopicStore &topicStore()
{
    static TopicStore store;
    return store;
}

std::array<int32_t, kSiteInfoCount> &memberFlags()
{
    static std::array<int32_t, kSiteInfoCount> flags{};
    return flags;
}

RunSiteList &runSites()
{
    static RunSiteList list;
    return list;
}

void LoadTopics()
{
    QByteArray bytes;
    bool exists = false;
    bool truncated = false;
    const bool read =
        readWholeFile(configPath(kTopicsFile), kTopicsFileLimit, bytes, &exists, &truncated);
    g_keepUnreadableFile = exists && !read;
    if (g_keepUnreadableFile) {
        bytes.clear();
        MsgBox(QStringLiteral(
                   "TOPICS.DATを読み込めませんでした。終了時にこのファイルは上書きしません。"),
               QMessageBox::Ok, QString(), QMessageBox::Warning);
    }
    const TopicsParse parse = ParseTopics(bytes, topicStore());
    // A file larger than any topics file is read only in part: written back at exit, all that
    // was not read would be lost, so it is kept as it stands.
    if (read && truncated)
        g_keepUnreadableFile = true;
    if (parse.overflow || truncated) {
        MsgBox(
            QStringLiteral("TOPICS.DATの検索テーマが多すぎるため、最初の%1件だけを読み込みました。")
                    .arg(topicStore().count) +
                (truncated ? QStringLiteral("終了時にこのファイルは上書きしません。") : QString()),
            QMessageBox::Ok, QString(), QMessageBox::Warning);
    }
    int32_t &current = settings().iTopic;
    if (current > topicStore().count - 1)
        current = topicStore().count - 1;
}

void LoadTopicsFrom(const QByteArray &bytes)
{
    ParseTopics(bytes, topicStore());
    int32_t &current = settings().iTopic;
    if (current > topicStore().count - 1)
        current = topicStore().count - 1;
}

QByteArray TopicsFileBytes(bool *lossless)
{
    return FormatTopics(topicStore(), lossless);
}

bool SaveTopics()
{
    if (g_keepUnreadableFile)
        return false;
    bool lossless = true;
    const QByteArray bytes = TopicsFileBytes(&lossless);
    QString error;
    if (!writeFileAtomically(configPath(kTopicsFile), bytes, &error)) {
        MsgBox(QStringLiteral(
                   "TOPICS.DATを保存できませんでした。以前のファイルはそのまま残っています。\n") +
                   error,
               QMessageBox::Ok, QString(), QMessageBox::Critical);
        return false;
    }
    if (!lossless) {
        MsgBox(QStringLiteral("TOPICS.DATに書けない文字を「?」に置き換えて保存しました。"),
               QMessageBox::Ok, QString(), QMessageBox::Warning);
    }
    return true;
}

int AppendTopic(const QString &name)
{
    TopicStore &store = topicStore();
    if (store.count > kTopicCreateLimit - 1) {
        MsgBox(QStringLiteral("これ以上に検索テーマを作成できません。"), QMessageBox::Ok,
               QStringLiteral("検索テーマの追加"));
        return 0;
    }
    TopicRecord &topic = store.topics[store.count];
    topic = TopicRecord();
    topic.name = name;
    ++store.count;
    return 1;
}

int RemoveTopic(int32_t index)
{
    TopicStore &store = topicStore();
    if (!validTopic(index)) {
        MsgBox(QStringLiteral("検索テーマは削除しませんでした。i=") + QString::number(index),
               QMessageBox::Ok, QStringLiteral("検索テーマの削除"));
        return 0;
    }
    for (int32_t k = index + 1; k < store.count; ++k)
        CopyTopic(k - 1, k);
    --store.count;
    store.topics[store.count] = TopicRecord();
    return 1;
}

void CopyTopic(int32_t to, int32_t from)
{
    if (to < 0 || to >= kTopicSlots || from < 0 || from >= kTopicSlots || to == from)
        return;
    const TopicRecord &source = topicStore().topics[from];
    TopicRecord &target = topicStore().topics[to];
    target.name = source.name;
    target.siteCount = source.siteCount;
    std::copy_n(source.sites.begin(), std::clamp(source.siteCount, 0, kMemberRoom),
                target.sites.begin());
    target.unknownRoots = source.unknownRoots;
}

void SetSiteFlag(int32_t topic, int32_t site, int32_t value)
{
    if (!validTopic(topic) || !validSite(site))
        return;
    auto &flags = memberFlags();
    flags[site] = value;
    TopicRecord &record = topicStore().topics[topic];
    int32_t n = 0;
    for (int32_t s = 0; s < siteInfoList().count && n < kMaxMembers; ++s) {
        if (flags[s] != 0)
            record.sites[n++] = s;
    }
    record.siteCount = n;
}

void UseTopic()
{
    RunSiteList &run = runSites();
    run.count = 0;
    const int32_t current = settings().iTopic;
    if (!validTopic(current))
        return;
    const TopicRecord &topic = topicStore().topics[current];
    const int32_t n = std::clamp(topic.siteCount, 0, kMaxMembers);
    std::copy_n(topic.sites.begin(), n, run.sites.begin());
    if (runHooks().resetSiteHits)
        runHooks().resetSiteHits(n);
    run.count = n;
}

int TopicHasSite(int32_t topic, int32_t site)
{
    if (!validTopic(topic))
        return 0;
    const TopicRecord &record = topicStore().topics[topic];
    const auto end = record.sites.begin() + std::clamp(record.siteCount, 0, kMemberRoom);
    return std::find(record.sites.begin(), end, site) != end ? 1 : 0;
}

int32_t FindSiteByRoot(const QString &text)
{
    const QString key = CutAtBlank(text);
    const SiteInfoList &list = siteInfoList();
    for (int32_t i = 0; i < list.count; ++i) {
        const QString &root = list.sites[i].root;
        if (root.startsWith(key) &&
            (root.size() == key.size() || root.at(key.size()).unicode() < 33))
            return i;
    }
    return list.count;
}
