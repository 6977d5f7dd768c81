// The Atom and RSS readers over any document: entity declarations, deep nesting, broken
// markup and encodings must end the read cleanly, with every record within its field.
#include "feed.h"

#include <cstdint>
#include <cstring>

namespace {

char records[tessel::kMaxResults][tessel::kResultSize];

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const auto format = data[0] & 1 ? tessel::FeedFormat::Atom : tessel::FeedFormat::Rss;
    tessel::ScriptOutput out{records, 0, tessel::kMaxResults};
    tessel::FeedSink sink(out, "https://host.example/");
    tessel::readXmlFeed(format, reinterpret_cast<const char *>(data + 1), size - 1, sink);
    for (int32_t i = 0; i < out.count; ++i)
        if (std::memchr(records[i] + tessel::kUrl.offset, 0, tessel::kUrl.width) == nullptr)
            __builtin_trap(); // a field without its NUL
    return 0;
}
