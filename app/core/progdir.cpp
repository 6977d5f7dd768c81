#include "core/progdir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

ProgramPlaces &places()
{
    static ProgramPlaces p;
    return p;
}

QString inFolder(const QString &folder, const QString &name)
{
    return QDir(folder).filePath(name);
}

} // namespace

ProgramPlaces FindProgramPlaces(const QString &executableDir, const QString &configRoot,
                                const QString &dataRoot)
{
    ProgramPlaces found;
    const QFileInfo settingsFile(inFolder(executableDir, QStringLiteral("STARTUP.DAT")));
    // Both the file and its folder: the file is replaced by a rename within the folder.
    if (settingsFile.isFile() && settingsFile.isWritable() &&
        QFileInfo(executableDir).isWritable()) {
        found.data = found.config = found.userData = executableDir;
        found.portable = true;
        return found;
    }
    const QString shared = QDir::cleanPath(executableDir + QLatin1String("/../share/velmora"));
    found.data = QFileInfo::exists(inFolder(shared, QStringLiteral("sitelist.dat")))
                     ? shared
                     : executableDir;
    found.config = configRoot;
    found.userData = dataRoot;
    return found;
}

bool SeedUserFiles(const ProgramPlaces &where)
{
    if (where.portable || where.config.isEmpty())
        return true;
    bool ok = QDir().mkpath(where.config);
    for (const char *name : {"TOPICS.DAT", "STARTUP.DAT"}) {
        const QString target = inFolder(where.config, QLatin1String(name));
        const QString source = inFolder(where.data, QLatin1String(name));
        if (QFileInfo::exists(target) || !QFileInfo::exists(source))
            continue;
        // The delivered copy is read-only where it is installed; the user's must not be.
        if (QFile::copy(source, target)) {
            QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                              QFile::ReadOther);
        } else {
            ok = false;
        }
    }
    return ok;
}

bool enterProgramDir()
{
    const ProgramPlaces found =
        FindProgramPlaces(QCoreApplication::applicationDirPath(),
                          QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation),
                          QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    places() = found;
    // A failed copy leaves the defaults in memory; the orderly end says when it can't write.
    SeedUserFiles(found);
    if (!found.portable)
        QDir().mkpath(found.userData);
    return QDir::setCurrent(found.data);
}

void setProgramPlaces(const ProgramPlaces &where)
{
    places() = where;
}

const ProgramPlaces &programPlaces()
{
    return places();
}

QString programDir()
{
    return places().data.isEmpty() ? QDir::currentPath() : places().data;
}

void setProgramDir(const QString &dir)
{
    places() = ProgramPlaces{dir, dir, dir, !dir.isEmpty()};
}

QString dataPath(const QString &name)
{
    return inFolder(programDir(), name);
}

QString configPath(const QString &name)
{
    return places().config.isEmpty() ? dataPath(name) : inFolder(places().config, name);
}

QString userDataPath(const QString &name)
{
    return places().userData.isEmpty() ? dataPath(name) : inFolder(places().userData, name);
}
