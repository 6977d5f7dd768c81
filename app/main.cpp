#include "common/commandline.h"
#include "common/processlimits.h"
#include "common/progdir.h"
#include "common/termination.h"
#include "common/translations.h"
#include "settings/startup.h"

#include <QApplication>
#include <QIcon>
#include <QMainWindow>

#include <unistd.h>

int main(int argc, char **argv)
{
    // The name picks the user's folders (~/.config/velmora, ~/.local/share/velmora).
    QCoreApplication::setApplicationName(QStringLiteral("velmora"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));
    // --help and --version answer on a terminal without a display.
    if (WantsTerminalAnswer(argc, argv)) {
        QCoreApplication app(argc, argv);
        InstallJapanese();
        return AnswerCommandLine();
    }
    SetUpProcessLimits();
    // The web engine refuses to render for root inside its sandbox; root (a container, a
    // test machine) gets its pages without it rather than blank panes.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
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
    bool endRequested = false;
    EndOnTerminationSignals([&endRequested] {
        // A box the program waits on (a settings file it could not read, a question) would
        // hold the end until someone clicks it: it is answered as its close button would.
        if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
        if (QMainWindow *window = mainWindow())
            window->close();
        else
            endRequested = true;
    });
    if (!StartProgram())
        return 1;
    if (endRequested && mainWindow())
        mainWindow()->close();
    // Closed while start-up was still waiting: the orderly end has already run.
    const int code = ProgramEnded() ? 0 : app.exec();
    delete mainWindow();
    return code;
}
