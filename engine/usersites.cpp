// UserCatalogue, UserSiteAdd, UserSiteRemove: the user's catalogue file, edited a site block
// at a time and always replaced whole.
#include "usersites.h"

#include "catalogue.h"
#include "cp932.h"
#include "tessel.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tessel {

namespace {

std::string &chosenPath()
{
    static std::string path;
    return path;
}

// The file's text cut into site blocks: each runs from the end of the one before to its own
// ENDSITE line, so the notes above a site go with it; what follows the last is the tail.
struct Blocks {
    std::vector<std::string> blocks;
    std::string tail;
};

bool startsWith(const std::string &line, const char *word)
{
    return line.compare(0, std::char_traits<char>::length(word), word) == 0;
}

Blocks split(const std::string &text)
{
    Blocks b;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        b.tail += line + "\n";
        std::size_t start = line.find_first_not_of(" \t");
        if (start != std::string::npos && startsWith(line.substr(start), "ENDSITE")) {
            b.blocks.push_back(b.tail);
            b.tail.clear();
        }
    }
    return b;
}

// The name of a block's SITE statement, UTF-8.
std::string nameOf(const std::string &block)
{
    std::istringstream in(block);
    for (std::string line; std::getline(in, line);) {
        std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || !startsWith(line.substr(start), "SITE"))
            continue;
        std::size_t value = line.find_first_not_of(" \t", start + 4);
        std::string name = value == std::string::npos ? "" : line.substr(value);
        if (!name.empty() && name.back() == '\r')
            name.pop_back();
        return name;
    }
    return "";
}

// Written beside the file and renamed over it: a crash leaves the old file or the new one.
bool replaceFile(const std::string &path, const std::string &text)
{
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.flush();
        if (!out) {
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

// The file's blocks without those named name (UTF-8); removed counts them.
bool withoutSite(const std::string &path, const std::string &name, Blocks &kept, int &removed)
{
    std::string text;
    std::ifstream probe(path, std::ios::binary);
    if (probe && !readUserFile(path, text))
        return false; // there but unreadable or too long: never overwrite what can't be read
    Blocks all = split(text);
    kept.tail = all.tail;
    removed = 0;
    for (const std::string &b : all.blocks) {
        if (nameOf(b) == name)
            ++removed;
        else
            kept.blocks.push_back(b);
    }
    return true;
}

std::string joined(const Blocks &b)
{
    std::string text;
    for (const std::string &block : b.blocks)
        text += block;
    return text + b.tail;
}

} // namespace

std::string userCataloguePath()
{
    if (!chosenPath().empty())
        return chosenPath();
    const char *environment = std::getenv("VELMORA_USER_SITES");
    return environment ? environment : "";
}

bool readUserFile(const std::string &path, std::string &bytes)
{
    // Only a regular file is read, and no further than one byte past the limit: a FIFO, a
    // device or a huge file named as the user's catalogue must neither block nor fill memory.
    // Opened without blocking, so a FIFO with no writer can't hold the caller at open().
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    bytes.clear();
    char buffer[8192];
    while (bytes.size() <= static_cast<std::size_t>(kTextSize)) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    // A byte-order mark some editors put first is not part of the first statement.
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        bytes.erase(0, 3);
    return bytes.size() <= static_cast<std::size_t>(kTextSize);
}

} // namespace tessel

using namespace tessel;

extern "C" {

int32_t UserCatalogue(const char *path)
{
    chosenPath() = nativePath(path);
    return 0;
}

int32_t UserSiteAdd(const char *entry)
{
    const std::string path = userCataloguePath();
    if (path.empty())
        return TESSEL_E_NO_USER_CATALOGUE;
    const std::string cp932 = entry ? entry : "";
    std::string name;
    if (cp932.size() > static_cast<std::size_t>(kTextSize) ||
        countSites(cp932.data(), static_cast<int32_t>(cp932.size()), &name) != 1 || name.empty())
        return TESSEL_E_NOT_ONE_SITE;
    Blocks kept;
    int removed = 0;
    if (!withoutSite(path, utf8FromCp932(name), kept, removed))
        return TESSEL_E_USER_CATALOGUE_WRITE;
    std::string block = utf8FromCp932(cp932);
    if (!block.empty() && block.back() != '\n')
        block += '\n';
    std::string text = joined(kept);
    if (!text.empty() && text.back() != '\n')
        text += '\n';
    text += block;
    if (text.size() > static_cast<std::size_t>(kTextSize))
        return TESSEL_E_SITELIST_TOO_BIG;
    return replaceFile(path, text) ? 0 : TESSEL_E_USER_CATALOGUE_WRITE;
}

int32_t UserSiteRemove(const char *name)
{
    const std::string path = userCataloguePath();
    if (path.empty())
        return TESSEL_E_NO_USER_CATALOGUE;
    Blocks kept;
    int removed = 0;
    if (!withoutSite(path, utf8FromCp932(name ? name : ""), kept, removed))
        return TESSEL_E_USER_CATALOGUE_WRITE;
    if (removed == 0)
        return TESSEL_E_NO_SITE;
    return replaceFile(path, joined(kept)) ? 0 : TESSEL_E_USER_CATALOGUE_WRITE;
}

} // extern "C"
