#include "core/atomicfile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    // Never fall back to writing the old file in place: that is what loses it.
    file.setDirectWriteFallback(false);
    // Unbuffered, so a short write (full disk, file size limit) shows in write()'s count;
    // buffered, the device would only find out while committing, and report success.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const qint64 written = file.write(bytes);
    if (written != bytes.size()) {
        if (error) {
            *error = QStringLiteral("%1 / %2 バイトしか書き込めませんでした。")
                         .arg(qMax<qint64>(written, 0))
                         .arg(bytes.size());
        }
        file.cancelWriting();
        return false;
    }
    // The bytes must be on disk before the rename makes them the file.
    if (::fsync(file.handle()) != 0) {
        if (error)
            *error = QString::fromLocal8Bit(strerror(errno));
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

bool IsRegularOrAbsent(const QString &path, qint64 maxBytes)
{
    const QFileInfo info(path);
    return !info.exists() || (info.isFile() && info.size() <= maxBytes);
}

bool readWholeFile(const QString &path, qint64 maxBytes, QByteArray &bytes, bool *exists,
                   bool *truncated)
{
    bytes.clear();
    if (exists)
        *exists = QFileInfo::exists(path);
    if (truncated)
        *truncated = false;
    // A FIFO, a device or a directory in a data file's place would block the start before any
    // window shows, deaf to every signal, or never end: only a regular file is read, and the
    // open itself never waits for a writer.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    // The file owns the descriptor from here on and closes it on every way out.
    QFile file;
    file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    struct stat status;
    if (!file.isOpen() || ::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    bytes = file.read(maxBytes);
    if (file.error() != QFileDevice::NoError)
        return false;
    if (truncated)
        *truncated = !file.atEnd();
    return true;
}
