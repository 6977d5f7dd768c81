#include "settings/startup.h"

#include <QApplication>
#include <QMainWindow>

int StartProgram(QApplication &app)
{
    // Placeholder main window until the real start-up sequence lands.
    QMainWindow window;
    window.setObjectName("Form1");
    window.show();
    return app.exec();
}
