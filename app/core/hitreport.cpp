#include "core/hitreport.h"

#include "core/encoding.h"
#include "tessel.h"

bool WriteHitReport(const QString &keyword, const QList<int32_t> &indexes, const QString &path)
{
    bool written = HTMLOpen(toCp932(keyword).constData(), int32_t(indexes.size()),
                            toCp932(path).constData()) == 0;
    for (qsizetype i = 0; written && i < indexes.size(); ++i)
        HTMLSave(int32_t(i), indexes[i]);
    // Closing also drops a report the writer could not begin, so the next one starts clean.
    written = HTMLClose() == 0 && written;
    return written;
}
