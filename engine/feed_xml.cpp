// Atom and RSS answers, read with expat: a streaming parser, so a document costs no more
// memory than its deepest element's path and one entry's texts, whatever its size.
#include "feed.h"

#include <expat.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

namespace tessel {

namespace {

constexpr int kDeepest = 256;
// An entry's text past this is never stored (a field holds at most 1023 bytes even after
// its markup is dropped); a document can't grow the reader by repeating a field.
constexpr std::size_t kTextMost = 16384;

// The local part of a name expat gives as "namespace\x01local" (or without a namespace).
const char *localName(const char *name)
{
    const char *mark = std::strrchr(name, '\x01');
    return mark ? mark + 1 : name;
}

const char *attribute(const char **attributes, const char *name)
{
    for (; attributes[0]; attributes += 2)
        if (std::strcmp(localName(attributes[0]), name) == 0)
            return attributes[1];
    return nullptr;
}

class XmlFeed {
public:
    XmlFeed(FeedFormat format, FeedSink &sink) : atom_(format == FeedFormat::Atom), sink_(sink) {}

    int32_t read(const char *text, std::size_t length)
    {
        parser_ = XML_ParserCreateNS(nullptr, '\x01');
        if (!parser_)
            return -1;
        XML_SetUserData(parser_, this);
        XML_SetElementHandler(parser_, onStart, onEnd);
        XML_SetCharacterDataHandler(parser_, onText);
        // A feed declares no entities. Refusing every declaration rules out entity expansion
        // attacks ("billion laughs") and external entities before any is used.
        XML_SetEntityDeclHandler(parser_, onEntityDeclaration);
        XML_Parse(parser_, text, static_cast<int>(length), XML_TRUE);
        XML_ParserFree(parser_);
        return feed_ ? sink_.entries() : -1;
    }

private:
    static void onStart(void *self, const char *name, const char **attributes)
    {
        static_cast<XmlFeed *>(self)->start(localName(name), attributes);
    }
    static void onEnd(void *self, const char *) { static_cast<XmlFeed *>(self)->end(); }
    static void onText(void *self, const char *text, int length)
    {
        static_cast<XmlFeed *>(self)->characters(text, static_cast<std::size_t>(length));
    }
    static void onEntityDeclaration(void *self, const char *, int, const char *, int, const char *,
                                    const char *, const char *, const char *)
    {
        XML_StopParser(static_cast<XmlFeed *>(self)->parser_, XML_FALSE);
    }

    void start(const char *name, const char **attributes)
    {
        if (++depth_ > kDeepest) {
            XML_StopParser(parser_, XML_FALSE);
            return;
        }
        if (depth_ == 1)
            feed_ = atom_ ? std::strcmp(name, "feed") == 0
                          : std::strcmp(name, "rss") == 0 || std::strcmp(name, "RDF") == 0;
        if (!feed_)
            return;
        if (entryDepth_ == 0 && std::strcmp(name, atom_ ? "entry" : "item") == 0) {
            entryDepth_ = depth_;
            entry_ = FeedEntry();
            return;
        }
        if (entryDepth_ == 0 || depth_ != entryDepth_ + 1)
            return;
        target_ = choose(name, attributes);
    }

    // Which text of the entry a child element gives, and for an Atom link its address.
    std::string *choose(const char *name, const char **attributes)
    {
        const auto is = [name](const char *n) { return std::strcmp(name, n) == 0; };
        const char *type = attribute(attributes, "type");
        html_ = !atom_ || (type && std::strcmp(type, "html") == 0);
        if (is("title")) {
            html_ = atom_ && html_; // an RSS title is text
            return claim(kFeedTitle);
        }
        if (atom_ && is("link")) {
            const char *rel = attribute(attributes, "rel");
            const char *href = attribute(attributes, "href");
            if (href && (!rel || std::strcmp(rel, "alternate") == 0) && !linked_) {
                entry_.text[kFeedUrl] = href;
                linked_ = true;
            }
            return nullptr;
        }
        if (is("link") || (atom_ && is("id") && !linked_))
            return restart(kFeedUrl);
        if (is(atom_ ? "summary" : "description") || (atom_ && is("content") && !summary_)) {
            summary_ = summary_ || is("summary");
            return restart(kFeedPreview);
        }
        if (is(atom_ ? "published" : "pubDate"))
            return restart(kFeedDate);
        if (is(atom_ ? "updated" : "date"))
            return claim(kFeedDate);
        return nullptr;
    }

    // The element's text replaces what the entry holds; claim: only when it holds nothing.
    std::string *restart(FeedText t)
    {
        entry_.text[t].clear();
        entry_.html[t] = html_;
        return &entry_.text[t];
    }
    std::string *claim(FeedText t) { return entry_.text[t].empty() ? restart(t) : nullptr; }

    void end()
    {
        if (depth_ == entryDepth_ + 1)
            target_ = nullptr;
        if (depth_ == entryDepth_ && entryDepth_ > 0) {
            sink_.add(entry_);
            entryDepth_ = 0;
            linked_ = summary_ = false;
        }
        --depth_;
    }

    void characters(const char *text, std::size_t length)
    {
        if (target_ && target_->size() < kTextMost)
            target_->append(text, std::min(length, kTextMost - target_->size()));
    }

    bool atom_;
    FeedSink &sink_;
    XML_Parser parser_ = nullptr;
    int depth_ = 0;
    int entryDepth_ = 0; // depth of the entry being read; 0 outside entries
    bool feed_ = false;  // the root element is the format's
    FeedEntry entry_;
    std::string *target_ = nullptr; // the text the current child element adds to
    bool html_ = false;
    bool linked_ = false;  // the entry's address came from a link
    bool summary_ = false; // the entry's preview came from a summary
};

} // namespace

int32_t readXmlFeed(FeedFormat format, const char *text, std::size_t length, FeedSink &sink)
{
    if (length > static_cast<std::size_t>(INT32_MAX))
        return -1;
    return XmlFeed(format, sink).read(text, length);
}

} // namespace tessel
