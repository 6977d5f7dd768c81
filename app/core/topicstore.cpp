#include "core/topicstore.h"

#include "core/atomicfile.h"
#include "core/progdir.h"
#include "core/session.h"
#include "core/topicsfile.h"

#include <algorithm>

namespace {

const char *const kTopicsFile = "TOPICS.DAT";

bool validTopic(const Session &session, int32_t topic)
{
    return topic >= 0 && topic < session.topics.count;
}

// The current topic must name one of the store's topics (or none, -1, for an empty store).
void fitCurrentTopic(Session &session)
{
    int32_t &current = session.settings.iTopic;
    if (current > session.topics.count - 1)
        current = session.topics.count - 1;
}

} // namespace

void LoadTopics(Session &session)
{
    QByteArray bytes;
    bool exists = false;
    bool truncated = false;
    const bool read =
        readWholeFile(configPath(kTopicsFile), kTopicsFileLimit, bytes, &exists, &truncated);
    session.keepTopicsFile = exists && !read;
    if (session.keepTopicsFile) {
        bytes.clear();
        Q_EMIT session.notice(
            QStringLiteral(
                "TOPICS.DATを読み込めませんでした。終了時にこのファイルは上書きしません。"),
            QString(), NoticeLevel::Warning);
    }
    const TopicsParse parse = ParseTopics(bytes, session.topics, session.sites);
    // A file larger than any topics file is read only in part: written back at exit, all that
    // was not read would be lost, so it is kept as it stands.
    if (read && truncated)
        session.keepTopicsFile = true;
    if (parse.overflow || truncated) {
        Q_EMIT session.notice(
            QStringLiteral("TOPICS.DATの検索テーマが多すぎるため、最初の%1件だけを読み込みました。")
                    .arg(session.topics.count) +
                (truncated ? QStringLiteral("終了時にこのファイルは上書きしません。") : QString()),
            QString(), NoticeLevel::Warning);
    }
    fitCurrentTopic(session);
}

void LoadTopicsFrom(Session &session, const QByteArray &bytes)
{
    ParseTopics(bytes, session.topics, session.sites);
    fitCurrentTopic(session);
}

QByteArray TopicsFileBytes(const Session &session, bool *lossless)
{
    return FormatTopics(session.topics, session.sites, lossless);
}

bool SaveTopics(Session &session)
{
    if (session.keepTopicsFile)
        return false;
    bool lossless = true;
    const QByteArray bytes = TopicsFileBytes(session, &lossless);
    QString error;
    if (!writeFileAtomically(configPath(kTopicsFile), bytes, &error)) {
        Q_EMIT session.notice(
            QStringLiteral(
                "TOPICS.DATを保存できませんでした。以前のファイルはそのまま残っています。\n") +
                error,
            QString(), NoticeLevel::Critical);
        return false;
    }
    if (!lossless) {
        Q_EMIT session.notice(
            QStringLiteral("TOPICS.DATに書けない文字を「?」に置き換えて保存しました。"), QString(),
            NoticeLevel::Warning);
    }
    return true;
}

int AppendTopic(Session &session, const QString &name)
{
    TopicStore &store = session.topics;
    if (store.count > kTopicCreateLimit - 1) {
        Q_EMIT session.notice(QStringLiteral("これ以上に検索テーマを作成できません。"),
                              QStringLiteral("検索テーマの追加"), NoticeLevel::Plain);
        return 0;
    }
    TopicRecord &topic = store.topics[store.count];
    topic = TopicRecord();
    topic.name = name;
    ++store.count;
    return 1;
}

int RemoveTopic(Session &session, int32_t index)
{
    TopicStore &store = session.topics;
    if (!validTopic(session, index)) {
        Q_EMIT session.notice(QStringLiteral("検索テーマは削除しませんでした。i=") +
                                  QString::number(index),
                              QStringLiteral("検索テーマの削除"), NoticeLevel::Plain);
        return 0;
    }
    for (int32_t k = index + 1; k < store.count; ++k)
        CopyTopic(store, k - 1, k);
    --store.count;
    store.topics[store.count] = TopicRecord();
    return 1;
}

void CopyTopic(TopicStore &store, int32_t to, int32_t from)
{
    if (to < 0 || to >= kTopicSlots || from < 0 || from >= kTopicSlots || to == from)
        return;
    const TopicRecord &source = store.topics[from];
    TopicRecord &target = store.topics[to];
    target.name = source.name;
    target.siteCount = source.siteCount;
    std::copy_n(source.sites.begin(), std::clamp(source.siteCount, 0, kMemberRoom),
                target.sites.begin());
    target.unknownRoots = source.unknownRoots;
}

void SetSiteFlag(Session &session, int32_t topic, int32_t site, int32_t value)
{
    if (!validTopic(session, topic) || site < 0 || site >= session.sites.count)
        return;
    auto &flags = session.memberFlags;
    flags[site] = value;
    TopicRecord &record = session.topics.topics[topic];
    int32_t n = 0;
    for (int32_t s = 0; s < session.sites.count && n < kMaxMembers; ++s) {
        if (flags[s] != 0)
            record.sites[n++] = s;
    }
    record.siteCount = n;
}

void UseTopic(Session &session)
{
    RunSiteList &run = session.runSites;
    run.count = 0;
    const int32_t current = session.settings.iTopic;
    if (!validTopic(session, current))
        return;
    const TopicRecord &topic = session.topics.topics[current];
    const int32_t n = std::clamp(topic.siteCount, 0, kMaxMembers);
    std::copy_n(topic.sites.begin(), n, run.sites.begin());
    session.run.rowsReplaced(n);
    run.count = n;
}

int TopicHasSite(const TopicStore &store, int32_t topic, int32_t site)
{
    if (topic < 0 || topic >= store.count)
        return 0;
    const TopicRecord &record = store.topics[topic];
    const auto end = record.sites.begin() + std::clamp(record.siteCount, 0, kMemberRoom);
    return std::find(record.sites.begin(), end, site) != end ? 1 : 0;
}
