#include "common/progdir.h"
#include "settings/startup.h"

#include <QApplication>
#include <QMainWindow>

#include <unistd.h>

int main(int argc, char **argv)
{
    // The web engine refuses to render for root inside its sandbox; root (a container, a
    // test machine) gets its pages without it rather than blank panes.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QApplication app(argc, argv);
    // The library reads its files from the current directory: enter the program's own
    // directory before anything else touches a file.
    enterProgramDir();
    if (!StartProgram())
        return 1;
    // Closed while start-up was still waiting: the orderly end has already run.
    const int code = ProgramEnded() ? 0 : app.exec();
    delete mainWindow();
    return code;
}
