// OpenSearchSite: an OpenSearch 1.1 description turned into a site of the catalogue language
// that reads the site's Atom or RSS answers. Read with expat, as feeds are, under the same
// rules: no entity is ever declared or fetched.
#include "charset.h"
#include "feed.h"
#include "tessel.h"

#include <expat.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kPageHits = 20;

struct Template {
    std::string type, url, rel, method;
    int pageOffset = 1, indexOffset = 1;
};

struct Description {
    bool root = false, entities = false;
    std::string shortName, description, tags, language, inputEncoding;
    std::vector<Template> urls;
    std::string *text = nullptr; // the element whose text is being read
    int depth = 0;
    XML_Parser parser = nullptr;
};

const char *localName(const char *name)
{
    const char *mark = std::strrchr(name, '\x01');
    return mark ? mark + 1 : name;
}

int number(const char *text, int fallback)
{
    if (!text)
        return fallback;
    char *end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && value >= 0 && value < 1000000 ? int(value) : fallback;
}

void onStart(void *data, const char *qualified, const char **attributes)
{
    auto &d = *static_cast<Description *>(data);
    const std::string name = localName(qualified);
    if (++d.depth == 1)
        d.root = name == "OpenSearchDescription";
    d.text = nullptr;
    if (!d.root || d.depth != 2)
        return;
    // The first of each counts: a later Language or InputEncoding is an alternative.
    auto first = [&d](std::string &field) { return field.empty() ? &field : nullptr; };
    if (name == "ShortName")
        d.text = first(d.shortName);
    else if (name == "Description")
        d.text = first(d.description);
    else if (name == "Tags")
        d.text = first(d.tags);
    else if (name == "Language")
        d.text = first(d.language);
    else if (name == "InputEncoding")
        d.text = first(d.inputEncoding);
    if (name != "Url")
        return;
    Template t;
    for (const char **a = attributes; a[0]; a += 2) {
        const std::string attribute = localName(a[0]);
        if (attribute == "type")
            t.type = a[1];
        else if (attribute == "template")
            t.url = a[1];
        else if (attribute == "rel")
            t.rel = a[1];
        else if (attribute == "method")
            t.method = a[1];
        else if (attribute == "pageOffset")
            t.pageOffset = number(a[1], 1);
        else if (attribute == "indexOffset")
            t.indexOffset = number(a[1], 1);
    }
    d.urls.push_back(t);
}

void onEnd(void *data, const char *)
{
    auto &d = *static_cast<Description *>(data);
    d.text = nullptr;
    --d.depth;
}

void onText(void *data, const char *text, int length)
{
    auto &d = *static_cast<Description *>(data);
    if (d.text && d.text->size() < 4096)
        d.text->append(text, static_cast<std::size_t>(length));
}

void onEntityDeclaration(void *data, const char *, int, const char *, int, const char *,
                         const char *, const char *, const char *)
{
    auto &d = *static_cast<Description *>(data);
    d.entities = true;
    XML_StopParser(d.parser, XML_FALSE);
}

// One line of the block: blanks, control characters and line breaks run together into one
// blank, none at the ends.
std::string line(const std::string &text)
{
    std::string out;
    bool blank = false;
    for (char c : text)
        tessel::appendFolded(out, c, blank);
    return out;
}

bool lowerEquals(std::string a, const char *b)
{
    for (char &c : a)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return a == b;
}

// The template in the catalogue's terms, or "" when a parameter can't be filled.
std::string catalogueTemplate(const Template &t)
{
    std::string out;
    bool words = false, paged = false;
    for (std::size_t i = 0; i < t.url.size(); ++i) {
        const std::size_t close = t.url.find('}', i);
        if (t.url[i] != '{' || close == std::string::npos) {
            out += t.url[i];
            continue;
        }
        std::string name = t.url.substr(i + 1, close - i - 1);
        const bool optional = !name.empty() && name.back() == '?';
        if (optional)
            name.pop_back();
        i = close;
        if (name == "searchTerms" && !words) {
            out += "_WORD1_+_WORD2_";
            words = true;
        } else if ((name == "startPage" || name == "startIndex") && !paged) {
            const bool page = name == "startPage";
            out += "_NUM_" + std::to_string(page ? t.pageOffset : t.indexOffset) + "," +
                   std::to_string(page ? 1 : kPageHits);
            paged = true;
        } else if (name == "startPage" || name == "startIndex") {
            out += std::to_string(name == "startPage" ? t.pageOffset : t.indexOffset);
        } else if (name == "count") {
            out += std::to_string(kPageHits);
        } else if (name == "language") {
            out += "*";
        } else if (name == "inputEncoding" || name == "outputEncoding") {
            out += "UTF-8";
        } else if (!optional) {
            return "";
        }
    }
    return words ? out : "";
}

// The server part of an address ("https://host:port/"), and the address without its query.
std::string serverOf(const std::string &url)
{
    // The authority ends at the path, the query or the fragment, whichever comes first.
    const std::size_t end = url.find_first_of("/?#", url.find("://") + 3);
    return end == std::string::npos ? url + "/" : url.substr(0, end) + "/";
}

std::string rootOf(const std::string &url)
{
    std::string root = url.substr(0, url.find_first_of("?#"));
    std::string out;
    for (char c : root) {
        if (c == ' ' || c == ',' || c == '"' || c == '{' || c == '}')
            out += c == ' ' ? "%20" : c == ',' ? "%2C" : c == '"' ? "%22" : "";
        else
            out += c;
    }
    return out;
}

int32_t build(const Description &d, std::string &block)
{
    if (!d.root || d.entities || line(d.shortName).empty())
        return TESSEL_E_OPENSEARCH_UNREADABLE;
    const Template *chosen = nullptr;
    for (const char *type : {"application/atom+xml", "application/rss+xml"})
        for (const Template &t : d.urls)
            if (!chosen && t.type == type && (t.rel.empty() || t.rel == "results"))
                chosen = &t;
    if (!chosen)
        return TESSEL_E_OPENSEARCH_HTML_ONLY;
    const std::string encoding = line(d.inputEncoding);
    const bool utf8 = encoding.empty() || lowerEquals(encoding, "utf-8");
    const bool sjis = lowerEquals(encoding, "shift_jis") || lowerEquals(encoding, "windows-31j") ||
                      lowerEquals(encoding, "cp932");
    const std::string url = catalogueTemplate(*chosen);
    const bool web = url.compare(0, 7, "http://") == 0 || url.compare(0, 8, "https://") == 0;
    if (url.empty() || !web || (!utf8 && !sjis) ||
        !(chosen->method.empty() || lowerEquals(chosen->method, "get")))
        return TESSEL_E_OPENSEARCH_UNUSABLE;
    // A control character would end the catalogue line and start a statement of the
    // description's choosing; a user name before the host only disguises where it goes.
    const std::string authority = serverOf(url);
    if (std::any_of(url.begin(), url.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }) ||
        authority.find('@') != std::string::npos)
        return TESSEL_E_OPENSEARCH_UNUSABLE;
    if (url.size() >= TESSEL_REQUEST_SIZE || url.find_first_of(" \t") != std::string::npos)
        return TESSEL_E_OPENSEARCH_TOO_LONG;
    const std::string name = line(d.shortName);
    const std::string description = line(d.description);
    const bool japanese = line(d.language).compare(0, 2, "ja") == 0;
    block = (description.empty() ? "" : "# " + description + "\n") + "SITE " + name + "\n" +
            "LANG " + (japanese ? "日本語" : "英語") + "\nTYPE OpenSearch\n" + "SKEY " +
            (line(d.tags).empty() ? name : line(d.tags)) + "\nROOT " + rootOf(url) + "\n" +
            "MEMO AND" + (utf8 ? " UTF8" : "") + "\nHOST " + authority + "\nAND " + url +
            "\nFEED " + (chosen->type == "application/atom+xml" ? "ATOM" : "RSS") + "\nENDSITE\n";
    return 0;
}

} // namespace

extern "C" int32_t OpenSearchSite(const char *text, int32_t length, char *entry, int32_t size)
{
    if (entry && size > 0)
        entry[0] = '\0';
    if (!text || length < 0)
        return TESSEL_E_OPENSEARCH_UNREADABLE;
    Description d;
    XML_Parser parser = XML_ParserCreateNS(nullptr, '\x01');
    if (!parser)
        return TESSEL_E_OPENSEARCH_UNREADABLE;
    d.parser = parser;
    XML_SetUserData(parser, &d);
    XML_SetElementHandler(parser, onStart, onEnd);
    XML_SetCharacterDataHandler(parser, onText);
    XML_SetEntityDeclHandler(parser, onEntityDeclaration);
    const bool parsed = XML_Parse(parser, text, length, XML_TRUE) == XML_STATUS_OK;
    XML_ParserFree(parser);
    std::string block;
    int32_t result = parsed ? build(d, block) : TESSEL_E_OPENSEARCH_UNREADABLE;
    if (result != 0)
        return result;
    std::string cp932(block.size() * 10 + 16, '\0');
    cp932.resize(tessel::utf8ToCp932(block.data(), block.size(), cp932.data(), cp932.size()));
    if (!entry || cp932.size() >= static_cast<std::size_t>(size))
        return TESSEL_E_OPENSEARCH_TOO_LONG;
    std::memcpy(entry, cp932.c_str(), cp932.size() + 1);
    return static_cast<int32_t>(cp932.size());
}
