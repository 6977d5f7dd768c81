#include "common/atomicfile.h"

#include <QFile>
#include <QSaveFile>

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    // Never fall back to writing the old file in place: that is what loses it.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

bool readWholeFile(const QString &path, qint64 maxBytes, QByteArray &bytes, bool *exists,
                   bool *truncated)
{
    QFile file(path);
    bytes.clear();
    if (exists)
        *exists = file.exists();
    if (truncated)
        *truncated = false;
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bytes = file.read(maxBytes);
    if (file.error() != QFileDevice::NoError)
        return false;
    if (truncated)
        *truncated = !file.atEnd();
    return true;
}
