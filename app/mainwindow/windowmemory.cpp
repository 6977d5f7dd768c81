#include "mainwindow/windowmemory.h"

#include "core/atomicfile.h"
#include "core/progdir.h"

#include <QSettings>

#include <algorithm>

namespace {

const QString kGroup = QStringLiteral("Form1");

// Beside the user's topics and settings: in the user's configuration folder, or in the
// program directory of a portable copy.
QString storePath()
{
    return configPath(QStringLiteral("window.ini"));
}

} // namespace

QList<int> CheckedResultShares(const QList<int> &shares)
{
    if (shares.size() != 7)
        return {};
    for (int s : shares) {
        if (s < 1 || s > kMostShare)
            return {};
    }
    return shares;
}

WindowMemory ReadWindowMemory()
{
    if (!IsRegularOrAbsent(storePath(), kWindowIniLimit))
        return {};
    QSettings store(storePath(), QSettings::IniFormat);
    store.beginGroup(kGroup);
    WindowMemory m;
    m.geometry = store.value(QStringLiteral("geometry")).toByteArray();
    m.previewListHeight = std::max(0, store.value(QStringLiteral("previewListHeight")).toInt());
    m.treeWidth = std::max(0, store.value(QStringLiteral("treeWidth")).toInt());
    QList<int> shares;
    for (const QVariant &v : store.value(QStringLiteral("resultShares")).toList())
        shares << v.toInt();
    m.resultShares = CheckedResultShares(shares);
    m.merging = store.value(QStringLiteral("merging"), false).toBool();
    return m;
}

void WriteWindowMemory(const WindowMemory &memory)
{
    // Something else in the file's place is left alone, as an unreadable settings file is.
    if (!IsRegularOrAbsent(storePath(), kWindowIniLimit))
        return;
    QSettings store(storePath(), QSettings::IniFormat);
    store.beginGroup(kGroup);
    store.setValue(QStringLiteral("geometry"), memory.geometry);
    store.setValue(QStringLiteral("previewListHeight"), memory.previewListHeight);
    store.setValue(QStringLiteral("treeWidth"), memory.treeWidth);
    QVariantList shares;
    for (int s : memory.resultShares)
        shares << s;
    store.setValue(QStringLiteral("resultShares"), shares);
    store.setValue(QStringLiteral("merging"), memory.merging);
}

QRect FirstPlace(const QRect &available, const QSize &least)
{
    const QSize share(available.width() * 2 / 3, available.height() * 2 / 3);
    const QSize size = share.expandedTo(least).boundedTo(available.size());
    QRect place(QPoint(), size);
    place.moveCenter(available.center());
    return place;
}
