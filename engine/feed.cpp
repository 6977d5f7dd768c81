// The FEED statement and the records feeds give; the readers are feed_xml.cpp and
// feed_json.cpp.
#include "feed.h"

#include "capture.h"
#include "catalogue.h"
#include "charset.h"

#include <cstring>
#include <sstream>

namespace tessel {

namespace {

struct FieldName {
    const char *name;
    ResultField field;
};
constexpr FieldName kFieldNames[] = {{"TITLE", kTitle}, {"URL", kUrl},   {"PREVIEW", kPreview},
                                     {"DATE", kDate},   {"SIZE", kSize}, {"SCORE", kScore}};

std::vector<std::string> split(const std::string &text, char at)
{
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (std::size_t to; (to = text.find(at, from)) != std::string::npos; from = to + 1)
        parts.push_back(text.substr(from, to - from));
    parts.push_back(text.substr(from));
    return parts;
}

// "." is the document itself; any other path is its steps.
std::vector<std::string> pathSteps(const std::string &path)
{
    return path == "." ? std::vector<std::string>() : split(path, '.');
}

bool validPath(const std::vector<std::string> &steps)
{
    for (const std::string &s : steps)
        if (s.empty())
            return false;
    return true;
}

// A text as a capture of HTML would give it: markup of HTML text dropped, the references it
// holds kept; plain text's own "&", "<" and ">" written as references.
std::string cleanText(const std::string &text, bool html)
{
    std::string out;
    bool blank = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (html && c == '<') {
            const std::size_t close = text.find('>', i);
            i = close == std::string::npos ? text.size() : close;
            continue; // as a capture steps over inline markup: "<b>富士</b>山" is one word
        }
        if (!html && (c == '&' || c == '<' || c == '>')) {
            for (const char *r = c == '&' ? "&amp;" : c == '<' ? "&lt;" : "&gt;"; *r; ++r)
                appendFolded(out, *r, blank);
            continue;
        }
        appendFolded(out, c, blank);
    }
    return out;
}

bool pathByte(unsigned char b, bool relative)
{
    if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9'))
        return true;
    if (std::strchr("-._~/:@!$'()*+,;=", b) && b != '\0')
        return true;
    // An address the document gives whole keeps its query, fragment and escapes; a relative
    // value is a name (a page title, a key) whose "?", "#", "%" and "&" are its own text.
    return !relative && b != '\0' && std::strchr("?#%&[]", b);
}

// The address a URL text names, percent-encoded where a request can't carry it as it is, its
// "&" written "&amp;" as on a page.
std::string cleanUrl(const std::string &text)
{
    std::string url = cleanText(text, true); // blanks around it dropped; no markup in it
    const bool relative = url.compare(0, 7, "http://") != 0 && url.compare(0, 8, "https://") != 0 &&
                          url.compare(0, 2, "//") != 0;
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (char c : url) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '&' && !relative)
            out += "&amp;";
        else if (pathByte(b, relative))
            out += c;
        else
            out += {'%', kDigits[b >> 4], kDigits[b & 0xF]};
    }
    return out;
}

void store(char *record, ResultField f, const std::string &utf8)
{
    const std::size_t n = utf8ToCp932(utf8.data(), utf8.size(), record + f.offset, f.width - 1);
    record[f.offset + n] = '\0';
}

constexpr ResultField kTextFields[kFeedTexts] = {kTitle, kUrl, kPreview, kDate, kSize, kScore};

} // namespace

void appendFolded(std::string &out, char c, bool &blank)
{
    if (static_cast<unsigned char>(c) <= 0x20) {
        blank = !out.empty();
        return;
    }
    if (blank)
        out += ' ';
    blank = false;
    out += c;
}

bool parseFeedPlan(const char *statement, FeedPlan &plan)
{
    plan = FeedPlan();
    std::istringstream in(statement ? statement : "");
    std::string format;
    in >> format;
    if (format == "ATOM" || format == "RSS") {
        plan.format = format == "ATOM" ? FeedFormat::Atom : FeedFormat::Rss;
        return true;
    }
    std::string list;
    if (format != "JSON" || !(in >> list))
        return false;
    plan.list = pathSteps(list);
    bool url = false;
    for (std::string word; in >> word;) {
        const std::size_t equals = word.find('=');
        const std::string name = word.substr(0, equals);
        std::string value = equals == std::string::npos ? "" : word.substr(equals + 1);
        FeedField field;
        field.html = value.compare(0, 5, "html:") == 0;
        if (field.html)
            value.erase(0, 5);
        for (const FieldName &known : kFieldNames)
            if (name == known.name)
                field.field = known.field;
        if (field.field.width == 0 || value.empty())
            return false;
        for (const std::string &alternative : split(value, '|')) {
            field.paths.push_back(pathSteps(alternative));
            if (!validPath(field.paths.back()) || field.paths.back().empty())
                return false;
        }
        url = url || field.field.offset == kUrl.offset;
        plan.fields.push_back(std::move(field));
    }
    if (!validPath(plan.list) || !url)
        return false;
    plan.format = FeedFormat::Json;
    return true;
}

bool FeedSink::full() const
{
    return out_.count >= out_.cap || out_.count >= kMaxResults;
}

void FeedSink::add(const FeedEntry &entry)
{
    ++entries_;
    if (!out_.records || full())
        return;
    char *record = out_.records[out_.count];
    std::memset(record, 0, kResultSize);
    for (int t = 0; t < kFeedTexts; ++t) {
        if (t == kFeedUrl)
            store(record, kUrl, cleanUrl(entry.text[t]));
        else
            store(record, kTextFields[t], cleanText(entry.text[t], entry.html[t]));
    }
    completeUrl(record + kUrl.offset, host_);
    ++out_.count;
}

int32_t runFeed(int32_t index, const char *text, std::size_t length, ScriptOutput &out)
{
    const SiteRecord *s = site(index);
    FeedPlan plan;
    if (!s || !parseFeedPlan(s->field[kFeed], plan))
        return -1;
    FeedSink sink(out, s->field[kHost]);
    return plan.format == FeedFormat::Json ? readJsonFeed(plan, text, length, sink)
                                           : readXmlFeed(plan.format, text, length, sink);
}

int32_t feedEntries(int32_t index, const char *text, std::size_t length)
{
    ScriptOutput none{nullptr, 0, 0};
    return runFeed(index, text, length, none);
}

} // namespace tessel
