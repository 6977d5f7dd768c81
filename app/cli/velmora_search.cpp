// velmora-search: the console front end, beside velmora in the program directory.
#include "cli/console.h"
#include "cli/notify.h"
#include "core/processlimits.h"
#include "core/progdir.h"
#include "core/session.h"
#include "core/sessionbus.h"
#include "core/termination.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QRegularExpression>
#include <QTextStream>

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

// The signal that asked the program to end, for its exit status. The shared handler that
// wakes the event loop tells no number: this one notes it and passes the signal on.
std::atomic<int> g_endSignal{0};
struct sigaction g_wakeAction[NSIG];

void noteEndSignal(int signal)
{
    g_endSignal.store(signal, std::memory_order_relaxed);
    if (g_wakeAction[signal].sa_handler != SIG_DFL && g_wakeAction[signal].sa_handler != SIG_IGN)
        g_wakeAction[signal].sa_handler(signal);
}

void noteEndSignals()
{
    struct sigaction action = {};
    action.sa_handler = noteEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, &g_wakeAction[signal]);
    // A reader that went away (`| head`) is a failed write, told and ended like any other, so
    // that a watch does not count hits nobody read as seen.
    std::signal(SIGPIPE, SIG_IGN);
}

// The detached announcement of a watch run's new hits (cli/notify.h): it outlives the run to
// hear the click, but not for ever.
int announce(const Announcement &announcement)
{
    // Reaching the bus and sending may hang on a bus that never answers: a minute, then the
    // kernel ends the process. Once sent, a day for the click.
    ::alarm(60);
    if (!SessionBusAround())
        return 1;
    const QDBusConnection bus = QDBusConnection::sessionBus();
    ::alarm(24 * 60 * 60);
    const QString window = QCoreApplication::applicationDirPath() + QStringLiteral("/velmora");
    const auto end =
        AwaitAnnouncement(bus, announcement, [&] { OpenWindowOn(bus, announcement, window); });
    return end ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    // The same folders as the window program: the same topics and settings.
    QCoreApplication::setApplicationName(QStringLiteral("velmora"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));
    QCoreApplication app(argc, argv);
    SetUpProcessLimits();
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList arguments = app.arguments();
    arguments.removeFirst();
    if (const auto announcement = AnnouncementOfArguments(arguments))
        return announce(*announcement);
    Session session;
    ConsoleSearch search(
        session, out, err, ::isatty(STDERR_FILENO) == 1,
        LanguageOfLocale(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG")));
    // The library reads its files from the current directory. The command line is read first:
    // --help and --version need no program directory, and its relative paths are meant from
    // where the user stands.
    search.setEnterProgramDir([] { return enterProgramDir(); });
    int status = 0;
    QObject::connect(&search, &ConsoleSearch::finished, &app, [&status](int code) {
        status = code;
        QCoreApplication::exit(code);
    });
    // Ctrl+C stops the run in order: every library thread is joined before the exit.
    EndOnTerminationSignals([&search] { search.interrupt(g_endSignal.load()); });
    noteEndSignals();
    // --unwatch waits on systemctl before any event loop runs, where a noted signal would wait
    // with it: there a signal ends the program as it comes. Nothing is left half done: the
    // timer is asked first, and the watch deleted in one transaction after.
    if (!arguments.filter(QRegularExpression(QStringLiteral("^--unwatch(=|$)"))).isEmpty())
        for (const int signal : {SIGTERM, SIGINT, SIGHUP})
            std::signal(signal, SIG_DFL);
    const int early = search.start(arguments);
    if (early >= 0)
        status = early;
    else
        app.exec();
    // What the streams still hold goes out now; a failure here is a loss like any other.
    out.flush();
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        if (!search.outputLost())
            err << "velmora-search: standard output could not be written\n";
        status = kExitBroken;
    }
    err.flush();
    return status;
}
