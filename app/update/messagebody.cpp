#include "update/messagebody.h"

#include "core/encoding.h"
#include "core/progdir.h"
#include "tessel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <optional>

QByteArray MessageBody(const QString &name, const QString &address, const QString &text,
                       const QByteArray &block)
{
    QString message = text;
    message.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    message.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    QByteArray body = toCp932(QLatin1String("SendName=") + name + QLatin1String("\r\n") +
                              QLatin1String("SendMail=") + address + QLatin1String("\r\n") +
                              QLatin1String("SendText=\r\n") + message + QLatin1String("\r\n"));
    body += block.left(kEnvironLimit);
    body += "\r\n";
    return body;
}

QByteArray InstallationBlock()
{
    static_assert(TESSEL_ENVIRON_SIZE == kEnvironLimit);
    // The library reads both files from the current directory, the program directory. Where
    // the user's files live elsewhere (an installed program keeps them in two of the user's
    // folders), it reads copies of them from a scratch directory instead, and the program
    // directory is made current again at once: later relative reads depend on it.
    const QString settingsFile = configPath(QStringLiteral("STARTUP.DAT"));
    const QString releaseFile = userDataPath(QStringLiteral("release.dat"));
    const QString here = QDir::currentPath();
    std::optional<QTemporaryDir> scratch;
    if (QFileInfo(settingsFile).absolutePath() != here ||
        QFileInfo(releaseFile).absolutePath() != here) {
        scratch.emplace();
        if (!scratch->isValid())
            return QByteArray();
        QFile::copy(settingsFile, scratch->filePath(QStringLiteral("STARTUP.DAT")));
        QFile::copy(releaseFile, scratch->filePath(QStringLiteral("release.dat")));
        QDir::setCurrent(scratch->path());
    }
    std::array<char, TESSEL_ENVIRON_SIZE> text{};
    const int32_t length = GetEnviron(text.data());
    if (scratch)
        QDir::setCurrent(here);
    if (length <= 0)
        return QByteArray();
    return QByteArray(text.data(), std::min<int32_t>(length, kEnvironLimit));
}

QString StateText(int state)
{
    static const char *const texts[] = {
        "準備中です",     "アドレスを調べています", "アドレスを見つけました", "接続中です",
        "接続しました",   "送信しています",         "送信しました",           "受信しています",
        "受信しました",   "接続を解除しています",   "接続を解除しました",     "通信エラー",
        "すべて受信完了",
    };
    if (state < 0 || state >= static_cast<int>(std::size(texts)))
        return QStringLiteral("unknown");
    return QString::fromUtf8(texts[state]);
}
