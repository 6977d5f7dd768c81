#include "common/commandline.h"
#include "common/messagebox.h"
#include "common/translations.h"
#include "core/processlimits.h"
#include "core/progdir.h"
#include "core/session.h"
#include "core/sessionbus.h"
#include "core/termination.h"
#include "history/historylink.h"
#include "history/windowrequests.h"
#include "mainwindow/form1.h"
#include "settings/startup.h"

#include <QApplication>
#include <QIcon>
#include <QLoggingCategory>

#include <unistd.h>

int main(int argc, char **argv)
{
    // The name picks the user's folders (~/.config/velmora, ~/.local/share/velmora).
    QCoreApplication::setApplicationName(QStringLiteral("velmora"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));
    // --help and --version answer on a terminal without a display.
    const auto request = WindowRequestOf(argc, argv);
    if (!request) {
        QCoreApplication app(argc, argv);
        InstallJapanese();
        return AnswerCommandLine();
    }
    SetUpProcessLimits();
    // The web engine refuses to render for root inside its sandbox; root (a container, a
    // test machine) gets its pages without it rather than blank panes.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // The web engine shares its drawing context with the windows; set before the application
    // exists, or the engine warns on every start.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // The web engine lists its start-up parameters on every start; that is for someone
    // debugging it, who asks with VELMORA_DEBUG or their own QT_LOGGING_RULES.
    if (qEnvironmentVariableIsEmpty("VELMORA_DEBUG") &&
        qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
    QApplication app(argc, argv);
    InstallJapanese();
    // The library reads its files from the current directory: enter the program's own
    // directory before anything else touches a file.
    enterProgramDir();
    // Ties the windows to the menu entry and its icon (taskbars, window switchers).
    QGuiApplication::setDesktopFileName(QStringLiteral("velmora"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("velmora"),
                                                 QIcon(dataPath(QStringLiteral("velmora.png")))));
    // Asked to end while start-up still loads the user's files: the window closes once it
    // stands, so nothing is written before everything was read.
    Session session;
    ShowNotices(session);
    QPointer<Form1> window;
    bool endRequested = false;
    EndOnTerminationSignals([&endRequested, &window] {
        // A box the program waits on (a settings file it could not read, a question) would
        // hold the end until someone clicks it: it is answered as its close button would.
        if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
        if (window)
            window->close();
        else
            endRequested = true;
    });
    if (!StartProgram(session, window))
        return 1;
    if (endRequested && window)
        window->close();
    // A watch's notification was clicked, or a stored run asked for by number.
    else if (window && (!request->watch.isEmpty() || request->run > 0))
        window->history->openAsked(request->watch, request->run);
    // Later clicks come to this window rather than starting another.
    if (window && SessionBusAround())
        (new WindowRequests(*window))->listen(QDBusConnection::sessionBus());
    // Closed while start-up was still waiting: the orderly end has already run.
    const int code = session.ended ? 0 : app.exec();
    delete window;
    return code;
}
