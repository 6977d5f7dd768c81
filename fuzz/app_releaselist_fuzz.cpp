// "release.dat" and the update server's list as any bytes: reading never crashes, the record
// never holds more than its 51 entries, what the next write produces reads back to itself,
// and no name that passes the check can leave the folder "update".
#include "core/encoding.h"
#include "core/releaselist.h"

#include <cstdint>
#include <cstdlib>

namespace {

void checkRecord(const QByteArray &bytes)
{
    ReleaseList list;
    ParseReleaseList(bytes, list);
    if (list.count < 0 || list.count > kReleaseMax)
        std::abort();
    const QByteArray once = FormatReleaseList(list);
    ReleaseList again;
    ParseReleaseList(once, again);
    // Characters CP932 lacks become "?" on the first write; from then on it is a fixpoint.
    const QByteArray twice = FormatReleaseList(again);
    ReleaseList third;
    ParseReleaseList(twice, third);
    if (FormatReleaseList(third) != twice)
        std::abort();
    // A recorded file is up to date against its own version (the first entry of a name
    // decides, so later duplicates are not asked).
    for (int i = 0; i < list.count; ++i) {
        const ReleaseEntry &entry = list.entries[i];
        if (entry.name.isEmpty())
            std::abort();
        int first = 0;
        while (list.entries[first].name.toLower() != entry.name.toLower())
            ++first;
        if (first == i && CheckRelease(list, entry.name, entry.version) != kReleaseUpToDate)
            std::abort();
    }
}

void checkServerList(const QByteArray &bytes)
{
    for (const ListedFile &file : ParseUpdateList(fromCp932(bytes))) {
        if (file.size < 0)
            std::abort();
        if (UpdateNameRefused(file.name))
            continue;
        if (file.name.contains(QLatin1Char('/')) || file.name.contains(QLatin1String("..")) ||
            file.name == QLatin1String("."))
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    checkRecord(bytes);
    checkServerList(bytes);
    return 0;
}
