#include "core/opensearch.h"

#include "core/atomicfile.h"
#include "core/encoding.h"
#include "tessel.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QTemporaryFile>

namespace {

// A description is a few kilobytes; a site block of it fits the user catalogue's share of a
// site.
constexpr qint64 kDescriptionLimit = 1024 * 1024;
constexpr size_t kEntrySize = 16 * 1024;

bool isAddress(const QString &where)
{
    return where.startsWith(QLatin1String("http://")) ||
           where.startsWith(QLatin1String("https://"));
}

} // namespace

DescriptionFault ReadDescription(const QString &where, QByteArray &bytes,
                                 const std::function<void()> &wait, QString *detail)
{
    bool exists = false;
    if (!isAddress(where)) {
        if (IsRegularOrAbsent(where, kDescriptionLimit) &&
            readWholeFile(where, kDescriptionLimit, bytes, &exists) && exists)
            return DescriptionFault::None;
        return DescriptionFault::Unreadable;
    }
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/velmora-opensearch-XXXXXX"));
    if (!file.open()) {
        if (detail)
            *detail = file.errorString();
        return DescriptionFault::NoPlace;
    }
    DownloadRecord record{};
    const QByteArray path = toCp932(file.fileName());
    bool done = iDown(&record, where.toUtf8().constData(), path.constData()) == 1;
    QDeadlineTimer deadline(std::chrono::seconds(60));
    while (done && Status_iDown() != 0 && !deadline.hasExpired())
        wait();
    done = done && Status_iDown() == 0 && record.status == -20;
    if (!done)
        Exit_iDown(&record);
    if (done && readWholeFile(file.fileName(), kDescriptionLimit, bytes, &exists))
        return DescriptionFault::None;
    return DescriptionFault::NotFetched;
}

SiteDraft DraftSite(const QByteArray &description)
{
    SiteDraft draft;
    draft.entry.assign(kEntrySize, '\0');
    draft.made = OpenSearchSite(description.constData(), int32_t(description.size()),
                                draft.entry.data(), int32_t(draft.entry.size()));
    return draft;
}

QString SiteDraft::text() const
{
    return ok() && !entry.empty() ? fromCp932(entry.data()) : QString();
}

QString SiteDraft::name() const
{
    // The block may open with "#" notes; the name is the rest of its SITE line.
    const QString block = QLatin1Char('\n') + text();
    return block.section(QStringLiteral("\nSITE "), 1).section(u'\n', 0, 0).trimmed();
}
