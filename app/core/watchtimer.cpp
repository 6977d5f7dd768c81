#include "core/watchtimer.h"

#include "core/atomicfile.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace {

const QString kUnitBase = QStringLiteral("velmora-watch@");

QString timerUnit(const QString &watch)
{
    return kUnitBase + WatchInstance(watch) + QStringLiteral(".timer");
}

QString intervalFolder(const QString &watch)
{
    return WatchUnitFolder() + u'/' + timerUnit(watch) + QStringLiteral(".d");
}

// Runs systemctl --user with the arguments; false with what it said (or why it could not run)
// in output.
bool systemctl(const QStringList &arguments, QString *output)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("systemctl"), QStringList{QStringLiteral("--user")} + arguments);
    if (!process.waitForStarted(10000)) {
        *output = QStringLiteral("systemctlを起動できませんでした：") + process.errorString();
        return false;
    }
    // A user manager that doesn't answer must not hold the window for good.
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished(1000);
        *output = QStringLiteral("systemctlが応答しませんでした。");
        return false;
    }
    *output = QString::fromLocal8Bit(process.readAll()).trimmed();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace

QString WatchUnitFolder()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    // A relative XDG_CONFIG_HOME is to be ignored, as every desktop program does.
    if (config.isEmpty() || QDir::isRelativePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/systemd/user");
}

QString WatchInstance(const QString &name)
{
    const QByteArray bytes = name.toUtf8();
    QString out;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == ':' || c == '_' || (c == '.' && i > 0);
        if (c == '/')
            out += u'-';
        else if (plain)
            out += QLatin1Char(c);
        else
            out += QStringLiteral("\\x%1").arg(uchar(c), 2, 16, QLatin1Char('0'));
    }
    return out;
}

QString WatchServiceText(const QString &program)
{
    // The program's path is quoted for a folder with blanks; %I is the watch's name unescaped.
    QString quoted = program;
    quoted.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
    quoted.replace(u'%', QStringLiteral("%%")).replace(u'$', QStringLiteral("$$"));
    return QStringLiteral("[Unit]\n"
                          "Description=Velmora watched search %I\n"
                          "\n"
                          "[Service]\n"
                          "Type=oneshot\n"
                          "ExecStart=\"%1\" --watch %I\n"
                          // 1: nothing new; a run that found nothing new has not failed.
                          "SuccessExitStatus=1\n"
                          // The notification of new hits waits in a process of its own for the
                          // click, after the run has ended: only the run itself is stopped.
                          "KillMode=process\n")
        .arg(quoted);
}

QString WatchTimerText()
{
    return QStringLiteral("[Unit]\n"
                          "Description=Velmora watched search %I on a schedule\n"
                          "\n"
                          "[Timer]\n"
                          "OnActiveSec=2min\n"
                          "OnUnitActiveSec=1h\n"
                          "\n"
                          "[Install]\n"
                          "WantedBy=timers.target\n");
}

QString WatchIntervalText(int minutes)
{
    // The empty assignment drops the template's interval before setting this one.
    return QStringLiteral("[Timer]\nOnUnitActiveSec=\nOnUnitActiveSec=%1min\n").arg(minutes);
}

bool WriteWatchUnits(const QString &program, const QString &watch, int minutes, QString *error)
{
    const QString folder = WatchUnitFolder();
    // Escaped, a byte may take four: a long name (or some twenty Japanese characters) makes a
    // unit name no file system takes.
    // systemd puts the name into the service's command line, where it would read "$HOME" as a
    // variable of its own.
    if (watch.contains(u'$')) {
        *error = QStringLiteral("名前に「$」を含む監視は、定期的に確認できません。"
                                "「$」のない名前の監視を作ってください。");
        return false;
    }
    if (timerUnit(watch).toUtf8().size() + 2 > 255) {
        *error = QStringLiteral("監視の名前が長すぎるため、定期的に確認できません。"
                                "短い名前の監視を作ってください。");
        return false;
    }
    const QString dropIns = intervalFolder(watch);
    if (!QDir().mkpath(dropIns)) {
        *error = QStringLiteral("フォルダを作れませんでした：") + dropIns;
        return false;
    }
    const struct {
        QString path;
        QString text;
    } files[] = {
        {folder + u'/' + kUnitBase + QStringLiteral(".service"), WatchServiceText(program)},
        {folder + u'/' + kUnitBase + QStringLiteral(".timer"), WatchTimerText()},
        {dropIns + QStringLiteral("/interval.conf"), WatchIntervalText(minutes)},
    };
    for (const auto &f : files) {
        QString why;
        if (!writeFileAtomically(f.path, f.text.toUtf8(), &why)) {
            *error = QStringLiteral("%1 を書けませんでした：%2").arg(f.path, why);
            return false;
        }
    }
    return true;
}

bool EnableWatchTimer(const QString &watch, QString *output)
{
    if (!systemctl({QStringLiteral("daemon-reload")}, output))
        return false;
    return systemctl({QStringLiteral("enable"), QStringLiteral("--now"), timerUnit(watch)}, output);
}

bool WatchScheduled(const QString &watch)
{
    return QFileInfo(intervalFolder(watch)).isDir();
}

bool UnscheduleWatch(const QString &watch, QString *output)
{
    if (!WatchScheduled(watch))
        return true;
    if (!systemctl({QStringLiteral("disable"), QStringLiteral("--now"), timerUnit(watch)}, output))
        return false;
    if (!QDir(intervalFolder(watch)).removeRecursively()) {
        *output = QStringLiteral("フォルダを消せませんでした：") + intervalFolder(watch);
        return false;
    }
    // The manager forgets the interval; the timer itself is already off, whatever this says.
    QString ignored;
    systemctl({QStringLiteral("daemon-reload")}, &ignored);
    return true;
}
