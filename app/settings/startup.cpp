#include "settings/startup.h"

#include "common/pause.h"
#include "common/runhooks.h"
#include "help/helptable.h"
#include "mainwindow/form1.h"
#include "settings/settings.h"
#include "settings/splash.h"
#include "tessel.h"
#include "topics/topicstore.h"

#include <QApplication>
#include <QMainWindow>

namespace {

QMainWindow *g_mainWindow = nullptr;
bool g_ended = false;

} // namespace

bool StartProgram(int mainWaitMs)
{
    g_ended = false;
    LoadSettings();
    ShowSplash();
    Pause(200);
    // The library answers for the built-in splash's device; it exists even when the picture
    // window is the one shown.
    builtInSplash();
    screenDpi() = GetDPI(0);
    if (LoadSiteInfo() < 0) {
        HideSplash();
        return false;
    }
    LoadHelp();
    LoadTopics();
    // The main window lays itself out, shows itself, hides the start-up window and waits
    // while handling events.
    // Closing hides the window but keeps it: a run's polling loop may still be on the stack
    // when the user closes it, and must find the window alive. main() deletes it at the end.
    auto *form = new Form1;
    form->rememberPlace = true;
    g_mainWindow = form;
    QObject::connect(form, &QObject::destroyed, [] { g_mainWindow = nullptr; });
    form->Form_Load(mainWaitMs);
    settings().Title = QStringLiteral("Velmora");
    // The user may have closed the window while it settled.
    if (g_mainWindow)
        g_mainWindow->setWindowTitle(settings().Title);
    return true;
}

void EndProgram()
{
    if (g_ended)
        return;
    g_ended = true;
    const auto finish = [] {
        SaveSettings();
        SaveTopics();
        if (Form1 *form = MainForm(); form && form->rememberPlace)
            form->savePlace();
        QCoreApplication::exit(0);
    };
    // The run's threads must be gone before the program ends; the stop shows its notice
    // while the event loop goes on.
    const RunHooks &hooks = runHooks();
    if (hooks.runActive && hooks.stopRun && hooks.runActive())
        hooks.stopRun(finish);
    else
        finish();
}

bool ProgramEnded()
{
    return g_ended;
}

QMainWindow *mainWindow()
{
    return g_mainWindow;
}
