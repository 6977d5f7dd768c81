#include "core/releaselist.h"

#include "core/encoding.h"
#include "core/makerhost.h"
#include "core/text.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>

#include <climits>

namespace {

// Splits at LF and drops the CR of a CR LF, so a list or record written with bare LF ends
// reads the same.
QStringList splitLines(const QString &text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString &line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    return lines;
}

// The leading decimal digits as a number, clamped to int; a sign or no digit gives 0.
int leadingNumber(const QString &text)
{
    long long value = 0;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        value = value * 10 + (c.unicode() - '0');
        if (value > INT_MAX)
            return INT_MAX;
    }
    return static_cast<int>(value);
}

} // namespace

bool ParseReleaseList(const QByteArray &bytes, ReleaseList &list)
{
    list = ReleaseList();
    if (bytes.isEmpty())
        return false;
    const QStringList lines = splitLines(fromCp932(bytes));
    list.lastUpdate = CutAtBlank(leftWhole(lines.first(), 80));
    for (qsizetype i = 1; i < lines.size() && list.count < kReleaseMax; ++i) {
        const QString line = CutAtBlank(leftWhole(lines[i], 80));
        const qsizetype mark = line.indexOf(QLatin1Char('>'));
        if (mark < 0 || mark == line.size() - 1)
            continue;
        list.entries[list.count].version = line.left(mark);
        list.entries[list.count].name = line.mid(mark + 1);
        ++list.count;
    }
    return true;
}

bool ReadReleaseList(const QString &path, ReleaseList &list)
{
    list = ReleaseList();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return ParseReleaseList(file.readAll(), list);
}

QByteArray FormatReleaseList(const ReleaseList &list)
{
    QString text = list.lastUpdate + QLatin1String("\r\n");
    for (int i = 0; i < list.count; ++i) {
        const ReleaseEntry &entry = list.entries[i];
        if (!entry.name.isEmpty())
            text += entry.version + QLatin1Char('>') + entry.name + QLatin1String("\r\n");
    }
    return toCp932(text);
}

bool WriteReleaseList(const QString &path, ReleaseList &list, const QString &time)
{
    list.lastUpdate = CutAtBlank(time);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(FormatReleaseList(list));
    return file.commit();
}

int CheckRelease(ReleaseList &list, const QString &name, const QString &version)
{
    const QString listedName = name.toLower();
    for (int i = 0; i < list.count; ++i) {
        ReleaseEntry &entry = list.entries[i];
        if (entry.name.toLower() != listedName)
            continue;
        if (QString::compare(version.toLower(), entry.version.toLower()) <= 0)
            return kReleaseUpToDate;
        return i;
    }
    if (list.count >= kReleaseMax)
        return kReleaseFull;
    list.entries[list.count] = ReleaseEntry();
    return list.count++;
}

QList<ListedFile> ParseUpdateList(const QString &body)
{
    QList<ListedFile> files;
    const QStringList lines = splitLines(body);
    for (qsizetype k = 0; k < lines.size() - 1; k += 2) {
        const QString &first = lines[k];
        const qsizetype mark = first.indexOf(QLatin1Char('>'));
        if (mark < 0)
            break;
        ListedFile file;
        file.version = first.left(mark);
        const QString rest = CutAtBlank(first.mid(mark + 1));
        const qsizetype comma = rest.indexOf(QLatin1Char(','));
        file.name = comma < 0 ? rest : rest.left(comma);
        if (comma >= 0)
            file.size = leadingNumber(CutAtBlank(rest.mid(comma + 1)));
        file.address = lines[k + 1].trimmed();
        files.append(file);
    }
    return files;
}

bool UpdateNameRefused(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name.contains(QLatin1String("..")))
        return true;
    for (QChar c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.category() == QChar::Other_Control)
            return true;
    }
    return false;
}

bool UpdateAddressRefused(const QString &address)
{
    return !MakerAddressAllowed(address);
}
