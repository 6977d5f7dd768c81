#include "common/progdir.h"
#include "settings/startup.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // The library reads its files from the current directory: enter the program's own
    // directory before anything else touches a file.
    enterProgramDir();
    if (!StartProgram())
        return 1;
    return app.exec();
}
