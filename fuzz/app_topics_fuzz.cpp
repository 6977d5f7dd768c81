// "TOPICS.DAT" as any bytes: loading never crashes or leaves the store inconsistent, and what
// the next save writes reads back to the same file (a damaged file never corrupts the save).
#include "core/session.h"
#include "core/topicsfile.h"
#include "core/topicstore.h"

#include <cstdint>
#include <cstdlib>

namespace {

Session &session()
{
    static Session *one = new Session;
    return *one;
}

bool setUp()
{
    SiteInfoList &list = session().sites;
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
            check(topic.sites[m] >= 0 && topic.sites[m] < session().sites.count);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool ready = setUp();
    (void)ready;
    Session &s = session();
    TopicStore &store = s.topics;
    ParseTopics(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)), store, s.sites);
    checkStore(store);

    s.settings.iTopic = store.count - 1;
    UseTopic(s);
    check(s.runSites.count >= 0 && s.runSites.count <= kMaxMembers);

    const QByteArray once = FormatTopics(store, s.sites);
    ParseTopics(once, store, s.sites);
    checkStore(store);
    check(FormatTopics(store, s.sites) == once);
    return 0;
}
