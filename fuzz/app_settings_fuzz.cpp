// "STARTUP.DAT" as any bytes: reading never crashes, and what the next save writes reads
// back to the same values.
#include "core/settings.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const Settings values =
        ParseSettings(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    const QByteArray once = SettingsFileBytes(values);
    if (SettingsFileBytes(ParseSettings(once)) != once)
        std::abort();
    // Twelve lines, nothing else.
    if (once.count("\r\n") != 12)
        std::abort();
    return 0;
}
