#include "common/progdir.h"

#include <QCoreApplication>
#include <QDir>

namespace {

QString &fixedDir()
{
    static QString dir;
    return dir;
}

} // namespace

bool enterProgramDir()
{
    const QString dir = QCoreApplication::applicationDirPath();
    fixedDir() = dir;
    return QDir::setCurrent(dir);
}

QString programDir()
{
    return fixedDir().isEmpty() ? QDir::currentPath() : fixedDir();
}

void setProgramDir(const QString &dir)
{
    fixedDir() = dir;
}

QString dataPath(const QString &name)
{
    return QDir(programDir()).filePath(name);
}
