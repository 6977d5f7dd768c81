#include "common/progdir.h"
#include "settings/startup.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char **argv)
{
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
