// velmora-search: the console front end, beside velmora in the program directory.
#include "cli/console.h"
#include "common/progdir.h"
#include "common/termination.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

#include <unistd.h>

#include <cstdio>

int main(int argc, char **argv)
{
    // The same folders as the window program: the same topics and settings.
    QCoreApplication::setApplicationName(QStringLiteral("velmora"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList arguments = app.arguments();
    arguments.removeFirst();
    // The library reads its files from the current directory; relative paths of the command
    // line (the report) are meant from where the user stands.
    for (int i = 0; i + 1 < arguments.size(); ++i)
        if (arguments[i] == QLatin1String("--report"))
            arguments[i + 1] = QFileInfo(arguments[i + 1]).absoluteFilePath();
    const bool helpOnly =
        arguments.contains(QLatin1String("--help")) || arguments.contains(QLatin1String("-h")) ||
        arguments.contains(QLatin1String("--version")) || arguments.contains(QLatin1String("-v"));
    if (!helpOnly && !enterProgramDir()) {
        err << "velmora-search: the program directory can't be entered\n";
        return kExitBroken;
    }
    ConsoleSearch search(out, err, ::isatty(STDERR_FILENO) == 1);
    int status = 0;
    QObject::connect(&search, &ConsoleSearch::finished, &app, [&status](int code) {
        status = code;
        QCoreApplication::exit(code);
    });
    // Ctrl+C stops the run in order: every library thread is joined before the exit.
    EndOnTerminationSignals([&search] { search.interrupt(); });
    const int early = search.start(arguments);
    if (early >= 0)
        return early;
    app.exec();
    return status;
}
