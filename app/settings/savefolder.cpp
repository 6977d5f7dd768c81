#include "settings/savefolder.h"

#include "core/atomicfile.h"
#include "core/progdir.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {

const QString kKey = QStringLiteral("Report/saveFolder");

QString storePath()
{
    return configPath(QStringLiteral("window.ini"));
}

bool usable(const QString &folder, const QString &dataDir)
{
    if (folder.isEmpty())
        return false;
    const QFileInfo info(folder);
    if (!info.isDir() || !info.isWritable())
        return false;
    return dataDir.isEmpty() || info.canonicalFilePath() != QFileInfo(dataDir).canonicalFilePath();
}

} // namespace

QString ChooseSaveFolder(const QString &remembered, const QString &documents, const QString &home,
                         const QString &dataDir)
{
    for (const QString &folder : {remembered, documents, home}) {
        if (usable(folder, dataDir))
            return QDir(folder).absolutePath();
    }
    return QString();
}

QString SaveFolder()
{
    QString remembered;
    if (IsRegularOrAbsent(storePath(), kWindowIniLimit))
        remembered = QSettings(storePath(), QSettings::IniFormat).value(kKey).toString();
    return ChooseSaveFolder(remembered,
                            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation),
                            QDir::homePath(), programDir());
}

void RememberSaveFolder(const QString &savedPath)
{
    // Something else in the file's place is left alone, as an unreadable settings file is.
    if (!IsRegularOrAbsent(storePath(), kWindowIniLimit))
        return;
    QSettings(storePath(), QSettings::IniFormat)
        .setValue(kKey, QFileInfo(savedPath).absolutePath());
}
