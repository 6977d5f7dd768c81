#include "settings/startup.h"

#include <QApplication>
#include <QMainWindow>

namespace {
QMainWindow *g_mainWindow = nullptr;
}

bool StartProgram()
{
    g_mainWindow = new QMainWindow;
    g_mainWindow->setObjectName("Form1");
    g_mainWindow->setAttribute(Qt::WA_DeleteOnClose);
    g_mainWindow->show();
    return true;
}

void EndProgram()
{
    QApplication::quit();
}

QMainWindow *mainWindow()
{
    return g_mainWindow;
}
