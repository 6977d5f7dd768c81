// "TOPICS.DAT" as any bytes: loading never crashes or leaves the store inconsistent, and what
// the next save writes reads back to the same file (a damaged file never corrupts the save).
#include "settings/settings.h"
#include "topics/topicsfile.h"
#include "topics/topicstore.h"

#include <cstdint>
#include <cstdlib>

namespace {

bool setUp()
{
    SiteInfoList &list = siteInfoList();
    const char *roots[] = {
        "http://a/", "https://b.example/search?q=", "http://a/", "http://c/x,y", "http://d/ tail",
        "",          "http://e/\xe6\xa4\x9c"};
    list.count = int32_t(std::size(roots));
    for (int i = 0; i < list.count; ++i)
        list.sites[i].root = QString::fromUtf8(roots[i]);
    return true;
}

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void checkStore(const TopicStore &store)
{
    check(store.count >= 0 && store.count <= kTopicSlots);
    for (int t = 0; t < store.count; ++t) {
        const TopicRecord &topic = store.topics[t];
        check(topic.siteCount >= 0 && topic.siteCount <= kMaxMembers);
        check(topic.siteCount + topic.unknownRoots.size() <= kMaxMembers);
        check(topic.name.size() <= 1018);
        for (int m = 0; m < topic.siteCount; ++m)
            check(topic.sites[m] >= 0 && topic.sites[m] < siteInfoList().count);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool ready = setUp();
    (void)ready;
    TopicStore &store = topicStore();
    ParseTopics(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)), store);
    checkStore(store);

    settings().iTopic = store.count - 1;
    UseTopic();
    check(runSites().count >= 0 && runSites().count <= kMaxMembers);

    const QByteArray once = FormatTopics(store);
    ParseTopics(once, store);
    checkStore(store);
    check(FormatTopics(store) == once);
    return 0;
}
