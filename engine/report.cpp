// The HTML report: HTMLOpen writes the head, HTMLSave one hit, HTMLClose the tail. The
// report is written to a temporary file beside the target and renamed over it at HTMLClose,
// so a reader never sees half a report and a failed save leaves the old file as it was.
#include "catalogue.h"
#include "cp932.h"
#include "results.h"
#include "tessel.h"
#include "utils.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>

namespace tessel {

namespace {

struct Report {
    FILE *file = nullptr;
    std::string temp;   // the file being written
    std::string target; // where it goes at HTMLClose
};

Report report;

void discard()
{
    if (report.file) {
        std::fclose(report.file);
        ::unlink(report.temp.c_str());
        report.file = nullptr;
    }
}

// The path with its extension replaced by ".htm": scanning back from the last character, a
// "." cuts from there; a "/" first, or reaching the first character, cuts nothing.
std::string htmName(const char *path)
{
    std::string name = path;
    for (size_t i = name.size(); i-- > 1;) {
        if (name[i] == '/') {
            break;
        }
        if (name[i] == '.') {
            name.resize(i);
            break;
        }
    }
    return name + ".htm";
}

// Text from a page or from the user as the report writes it. "<" and ">" become character
// references, so nothing a page sends can become a tag in the report, which the program opens
// in the user's browser; "&" stays, since captures keep a page's own references. Inside a
// double-quoted attribute (href, src) a '"' would end the attribute, so it is written as %22.
std::string escaped(const char *text, bool attribute)
{
    std::string out;
    for (const char *p = text; *p; ++p) {
        if (*p == '<') {
            out += "&lt;";
        } else if (*p == '>') {
            out += "&gt;";
        } else if (*p == '"' && attribute) {
            out += "%22";
        } else {
            out += *p;
        }
    }
    return out;
}

std::string bodyText(const char *text)
{
    return escaped(text, false);
}

std::string attributeText(const char *text)
{
    return escaped(text, true);
}

// The banner's address: the picture itself as a data: address, so the report keeps it when it
// is moved or mailed; the delivered file's path only when the picture can't be read.
std::string bannerSource()
{
    const std::string path = std::string(catalogue().startDir) + "/mapbar.gif";
    constexpr std::streamsize kMostEmbedded = 256 * 1024;
    std::ifstream in(path, std::ios::binary);
    std::string bytes;
    if (in) {
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    if (bytes.empty() || std::streamsize(bytes.size()) > kMostEmbedded) {
        return attributeText(path.c_str());
    }
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out = "data:image/gif;base64,";
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t left = bytes.size() - i;
        uint32_t n = uint32_t(uint8_t(bytes[i])) << 16;
        if (left > 1)
            n |= uint32_t(uint8_t(bytes[i + 1])) << 8;
        if (left > 2)
            n |= uint8_t(bytes[i + 2]);
        out += digits[(n >> 18) & 63];
        out += digits[(n >> 12) & 63];
        out += left > 1 ? digits[(n >> 6) & 63] : '=';
        out += left > 2 ? digits[n & 63] : '=';
    }
    return out;
}

// The saving time as the user's clock shows it (the machine's time zone), in the slashed form.
std::string localSlashed(int32_t time)
{
    const std::time_t t = time;
    std::tm local{};
    if (!::localtime_r(&t, &local)) {
        char text[32];
        formatSlashed(time, text);
        return text;
    }
    char text[48];
    std::snprintf(text, sizeof text, "%u/%u/%u,%02u:%02u:%02u", unsigned(local.tm_year + 1900),
                  unsigned(local.tm_mon + 1), unsigned(local.tm_mday), unsigned(local.tm_hour),
                  unsigned(local.tm_min), unsigned(local.tm_sec));
    return text;
}

} // namespace

} // namespace tessel

using namespace tessel;

extern "C" {

int32_t HTMLOpen(const char *keyword, int32_t count, const char *path)
{
    discard();
    if (!path || path[0] == '\0') {
        return -1;
    }
    const std::string target = nativePath(htmName(path).c_str());
    if (target.size() + 8 > PATH_MAX) {
        return -1;
    }
    std::string temp = target + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        return -1;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    report.file = ::fdopen(fd, "wb");
    if (!report.file) {
        ::close(fd);
        ::unlink(temp.c_str());
        return -1;
    }
    report.temp = temp;
    report.target = target;

    const std::string now = localSlashed(GetTime());
    const std::string words = bodyText(keyword ? keyword : "");
    FILE *f = report.file;
    // The head names the bytes' encoding, so a browser reads the report right wherever it is
    // opened from, and titles the tab with the keywords. Velmoraの検索結果 in CP932.
    std::fputs("<html>\r\n<head>\r\n<meta charset=\"Shift_JIS\">\r\n", f);
    std::fprintf(f, "<title>%s - Velmora\x82\xcc\x8c\x9f\x8d\xf5\x8c\x8b\x89\xca</title>\r\n",
                 words.c_str());
    std::fputs("</head>\r\n<body>\r\n<center>\r\n", f);
    std::fprintf(f, "<img src=\"%s\"><br>\r\n", bannerSource().c_str());
    std::fprintf(f, "<table border=\"%d\" cellpadding=\"%d\" width=\"%s\">\r\n", 0, 3, "100%");
    std::fputs("<tr>\r\n", f);
    std::fprintf(f, "<td align=\"%s\" valign=\"%s\" width=\"%s\"></td>\r\n", "right", "top", "10%");
    std::fprintf(f, "<td valign=\"%s\" width=\"%s\">\r\n", "top", "80%");
    // Velmoraの検索結果 / キーワード： / 検索結果数： / 保存時間： in CP932
    std::fputs("<center>Velmora\x82\xcc\x8c\x9f\x8d\xf5\x8c\x8b\x89\xca</center><br>\r\n", f);
    std::fprintf(f, "\x83\x4c\x81\x5b\x83\x8f\x81\x5b\x83\x68\x81\x46 %s<br>\r\n", words.c_str());
    std::fprintf(f, "\x8c\x9f\x8d\xf5\x8c\x8b\x89\xca\x90\x94\x81\x46 %d<br>\r\n", count);
    std::fprintf(f, "\x95\xdb\x91\xb6\x8e\x9e\x8a\xd4\x81\x46 %s<br>\r\n", now.c_str());
    std::fputs("<p></p>\r\n", f);
    return 0;
}

int32_t HTMLSave(int32_t position, int32_t index)
{
    const char *record = resultRecord(index);
    if (!report.file || !record) {
        return -1;
    }
    FILE *f = report.file;
    std::fprintf(f, "%d <a href=\"%s\"><B>%s</B></a><br>\r\n", position + 1,
                 attributeText(record + kUrl.offset).c_str(),
                 bodyText(record + kTitle.offset).c_str());
    if (record[kPreview.offset] != '\0') {
        std::fprintf(f, "%s<br>\r\n", bodyText(record + kPreview.offset).c_str());
    }
    std::fprintf(f, "%s %s %s<br>\r\n", bodyText(record + kScore.offset).c_str(),
                 bodyText(record + kDate.offset).c_str(), bodyText(record + kSize.offset).c_str());
    std::fputs("<p></p>\r\n", f);
    return 0;
}

int32_t HTMLClose(void)
{
    if (!report.file) {
        return -1;
    }
    FILE *f = report.file;
    std::fputs("</td>\r\n", f);
    std::fprintf(f, "<td width=\"%s\"></td>\r\n", "10%");
    std::fputs("</tr>\r\n</table>\r\n</center>\r\n</body>\r\n</html>\r\n", f);
    // Only a report that reached the disk whole replaces the target.
    bool ok = std::fflush(f) == 0 && !std::ferror(f) && ::fsync(::fileno(f)) == 0;
    ok = std::fclose(f) == 0 && ok;
    report.file = nullptr;
    if (!ok || std::rename(report.temp.c_str(), report.target.c_str()) != 0) {
        ::unlink(report.temp.c_str());
        return -1;
    }
    return 0;
}

} // extern "C"
