#include "core/sitelist.h"

#include "core/encoding.h"
#include "core/session.h"
#include "core/text.h"
#include "tessel.h"

#include <algorithm>
#include <array>

int32_t LoadSiteInfo(Session &session)
{
    SiteInfoList &list = session.sites;
    session.useUserFiles();
    const int32_t loaded = LoadSite();
    if (loaded < 0) {
        list.count = 0;
        Q_EMIT session.notice(QStringLiteral("LoadSite Error=") + QString::number(loaded),
                              QString(), NoticeLevel::Plain);
        return loaded;
    }
    // The program keeps headers for site indexes 0 .. 100 only.
    list.count = std::min<int32_t>(loaded, kSiteInfoCount);
    std::array<char, kSiteHeaderSize> record;
    for (int32_t i = 0; i < kSiteInfoCount; ++i) {
        SiteInfo &info = list.sites[i];
        if (i >= list.count) {
            info = SiteInfo();
            continue;
        }
        QString *fields[6] = {&info.name,      &info.language, &info.type,
                              &info.searchKey, &info.root,     &info.memo};
        record.fill('\0');
        for (int f = 0; f < 6; ++f)
            writeCp932Field(*fields[f], record.data() + kSiteFieldOffset[f], kSiteFieldWidth[f]);
        const int32_t status = SiteHeader(record.data(), i);
        for (int f = 0; f < 6; ++f)
            *fields[f] = readCp932Field(record.data() + kSiteFieldOffset[f], kSiteFieldWidth[f]);
        if (status < 0)
            info.language = QStringLiteral("unknown");
    }
    return loaded;
}

int32_t FindSiteByRoot(const SiteInfoList &list, const QString &text)
{
    const QString key = CutAtBlank(text);
    for (int32_t i = 0; i < list.count; ++i) {
        const QString &root = list.sites[i].root;
        if (root.startsWith(key) &&
            (root.size() == key.size() || root.at(key.size()).unicode() < 33))
            return i;
    }
    return list.count;
}
