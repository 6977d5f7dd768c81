// The JSON reader over any document and any FEED statement: the first line of the input is
// the statement, the rest the answer. Deep nesting, huge numbers, broken UTF-8 and paths that
// meet arrays, objects and scalars in every order must end the read cleanly.
#include "feed.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace {

char records[tessel::kMaxResults][tessel::kResultSize];

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *text = reinterpret_cast<const char *>(data);
    const char *line = static_cast<const char *>(std::memchr(text, '\n', size));
    const std::string statement = line ? std::string(text, line) : std::string();
    const size_t start = line ? static_cast<size_t>(line - text) + 1 : 0;
    tessel::FeedPlan plan;
    if (!tessel::parseFeedPlan(statement.c_str(), plan) || plan.format != tessel::FeedFormat::Json)
        tessel::parseFeedPlan("JSON a.0 TITLE=t|n.0 URL=u PREVIEW=html:p DATE=d.x SIZE=s", plan);
    tessel::ScriptOutput out{records, 0, tessel::kMaxResults};
    tessel::FeedSink sink(out, "https://host.example/");
    tessel::readJsonFeed(plan, text + start, size - start, sink);
    for (int32_t i = 0; i < out.count; ++i)
        if (std::memchr(records[i] + tessel::kTitle.offset, 0, tessel::kTitle.width) == nullptr)
            __builtin_trap();
    return 0;
}
