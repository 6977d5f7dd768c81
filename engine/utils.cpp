// Time texts, file operations and the installation block: thin layers over the system.
#include "utils.h"

#include "cp932.h"
#include "tessel.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

extern char **environ;

namespace tessel {
namespace {

constexpr long long kJapanOffset = 9 * 3600; // JST, no daylight saving
constexpr long long kDay = 86400;

// Days since 1970-01-01 of a proleptic Gregorian date, and back (H. Hinnant's algorithms);
// exact for every date a 32-bit time value can name, before 1998 included.
long long daysFromCivil(long long y, long long m, long long d)
{
    y -= m <= 2;
    long long era = (y >= 0 ? y : y - 399) / 400;
    long long yoe = y - era * 400;
    long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

Civil civilFromDays(long long z)
{
    z += 719468;
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    long long doe = z - era * 146097;
    long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long long mp = (5 * doy + 2) / 153;
    Civil c{};
    c.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    c.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    c.year = static_cast<int>(yoe + era * 400 + (c.month <= 2));
    return c;
}

// "release.dat" and "startup.dat" are the program's "release.dat" and "STARTUP.DAT": the
// name is matched without regard to case. Of several matches the first in byte order wins,
// so the program's upper-case STARTUP.DAT is taken over a stray lower-case copy.
std::string findNoCase(const char *name)
{
    std::string best;
    DIR *dir = ::opendir(".");
    if (!dir)
        return best;
    while (dirent *e = ::readdir(dir)) {
        if (::strcasecmp(e->d_name, name) != 0)
            continue;
        struct stat st;
        if (::stat(e->d_name, &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        if (best.empty() || std::strcmp(e->d_name, best.c_str()) < 0)
            best = e->d_name;
    }
    ::closedir(dir);
    return best;
}

void appendFile(std::string &block, const char *name)
{
    std::string found = findNoCase(name);
    if (found.empty())
        return;
    std::ifstream in(found, std::ios::binary);
    block.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Blanks separate arguments, double quotes group them, and a backslash before a double
// quote makes it a plain character; every other backslash is kept.
std::vector<std::string> splitCommand(const std::string &line)
{
    std::vector<std::string> args;
    std::string arg;
    bool inArg = false, quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char ch = line[i];
        if (ch == '\\' && i + 1 < line.size() && line[i + 1] == '"') {
            arg += '"';
            inArg = true;
            ++i;
        } else if (ch == '"') {
            quoted = !quoted;
            inArg = true;
        } else if ((ch == ' ' || ch == '\t') && !quoted) {
            if (inArg)
                args.push_back(arg);
            arg.clear();
            inArg = false;
        } else {
            arg += ch;
            inArg = true;
        }
    }
    if (inArg)
        args.push_back(arg);
    return args;
}

} // namespace

Civil civilTime(int32_t time)
{
    long long local = static_cast<long long>(time) + kJapanOffset;
    long long days = local >= 0 ? local / kDay : (local - kDay + 1) / kDay;
    long long second = local - days * kDay;
    Civil c = civilFromDays(days);
    c.hour = static_cast<int>(second / 3600);
    c.minute = static_cast<int>(second % 3600 / 60);
    c.second = static_cast<int>(second % 60);
    return c;
}

// A 32-bit time falls in the years 1901 to 2038, so every field fits its width and both forms
// fit 20 bytes; the fields are bounded to their widths so the compiler sees that too.
void formatDotted(int32_t time, char *text)
{
    Civil c = civilTime(time);
    std::snprintf(text, 20, "%04u.%02u.%02u.%02u:%02u:%02u", unsigned(c.year) % 10000u,
                  unsigned(c.month) % 100u, unsigned(c.day) % 100u, unsigned(c.hour) % 100u,
                  unsigned(c.minute) % 100u, unsigned(c.second) % 100u);
}

void formatSlashed(int32_t time, char *text)
{
    Civil c = civilTime(time);
    std::snprintf(text, 20, "%u/%u/%u,%02u:%02u:%02u", unsigned(c.year) % 10000u,
                  unsigned(c.month) % 100u, unsigned(c.day) % 100u, unsigned(c.hour) % 100u,
                  unsigned(c.minute) % 100u, unsigned(c.second) % 100u);
}

bool parseDotted(const char *text, long long &time)
{
    int y, mo, d, h, mi, s;
    if (!text || std::sscanf(text, "%d.%d.%d.%d:%d:%d", &y, &mo, &d, &h, &mi, &s) != 6)
        return false;
    time = daysFromCivil(y, mo, d) * kDay + h * 3600LL + mi * 60LL + s - kJapanOffset;
    return true;
}

} // namespace tessel

using namespace tessel;

extern "C" int32_t GetTime(void)
{
    return static_cast<int32_t>(std::time(nullptr));
}

extern "C" int32_t GetTForm(char *text)
{
    formatDotted(GetTime(), text);
    return 0;
}

extern "C" int32_t GetTForm2(int32_t time, char *text)
{
    formatSlashed(time, text);
    return 0;
}

extern "C" int32_t GetDPI(int32_t)
{
    return 96; // layouts are in twips at 15 per device-independent pixel
}

extern "C" int32_t SetFTime(const char *path, const char *text)
{
    long long time;
    if (parseDotted(text, time)) {
        timespec both[2];
        both[0].tv_sec = both[1].tv_sec = static_cast<time_t>(time);
        both[0].tv_nsec = both[1].tv_nsec = 0;
        ::utimensat(AT_FDCWD, nativePath(path).c_str(), both, 0);
    }
    return 0;
}

extern "C" int32_t MyCopy(const char *from, const char *to)
{
    std::error_code ec;
    bool copied = std::filesystem::copy_file(nativePath(from), nativePath(to),
                                             std::filesystem::copy_options::overwrite_existing, ec);
    return copied && !ec ? 1 : 0;
}

extern "C" int32_t DelFile(const char *path)
{
    std::string p = nativePath(path);
    return !p.empty() && ::unlink(p.c_str()) == 0 ? 1 : 0;
}

extern "C" int32_t DelDir(const char *path)
{
    std::string p = nativePath(path);
    if (p.empty() || ::chdir(p.c_str()) != 0)
        return 0;
    // Removed by its absolute name: a relative path would count from the parent after
    // the change of directory below and name some other directory.
    char here[4096];
    bool known = ::getcwd(here, sizeof here) != nullptr;
    if (DIR *dir = ::opendir(".")) {
        while (dirent *e = ::readdir(dir)) {
            struct stat st;
            if (::lstat(e->d_name, &st) == 0 && !S_ISDIR(st.st_mode))
                ::unlink(e->d_name);
        }
        ::closedir(dir);
    }
    if (::chdir("..") == 0 && known)
        ::rmdir(here); // fails, unreported, while a subdirectory is left
    return 1;
}

extern "C" int32_t Run(int32_t, const char *command)
{
    std::vector<std::string> args = splitCommand(nativePath(command));
    if (args.empty())
        return 0;
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return 0;
    // The library reaps what it starts, so no caller is left with a zombie; a caller that
    // wants the process's end must not wait for it itself.
    std::thread([pid] {
        int status;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return static_cast<int32_t>(pid);
}

extern "C" int32_t FileExist(const char *path)
{
    struct stat st;
    std::string p = nativePath(path);
    return !p.empty() && ::stat(p.c_str(), &st) == 0 ? 1 : 0;
}

extern "C" int32_t GetEnviron(char *text)
{
    char now[20];
    formatDotted(GetTime(), now);
    std::string block = std::string("SendTime=") + now + "\r\n";
    appendFile(block, "release.dat");
    appendFile(block, "startup.dat");
    // The caller's buffer is 16000 bytes and the block is taken by its length: it is cut at
    // 16000 bytes, and ends with a NUL only when there is room for one.
    constexpr size_t kRoom = TESSEL_ENVIRON_SIZE;
    size_t n = block.size() < kRoom ? block.size() : kRoom;
    std::memcpy(text, block.data(), n);
    if (n < kRoom)
        text[n] = '\0';
    return static_cast<int32_t>(n);
}
