#include "settings/startup.h"

#include "common/pause.h"
#include "common/runhooks.h"
#include "help/helptable.h"
#include "settings/settings.h"
#include "settings/splash.h"
#include "tessel.h"
#include "topics/topicstore.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMainWindow>

namespace {

QMainWindow *g_mainWindow = nullptr;
bool g_ended = false;

// Stands in for the main window: shows where it goes and ends the program in order.
class PlaceholderWindow : public QMainWindow {
protected:
    void closeEvent(QCloseEvent *event) override
    {
        EndProgram();
        event->accept();
    }
};

QMainWindow *createMainWindow()
{
    auto *window = new PlaceholderWindow;
    window->setObjectName(QStringLiteral("Form1"));
    window->resize(800, 600);
    window->show();
    HideSplash();
    return window;
}

} // namespace

bool StartProgram()
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
    g_mainWindow = createMainWindow();
    g_mainWindow->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(g_mainWindow, &QObject::destroyed, [] { g_mainWindow = nullptr; });
    settings().Title = QStringLiteral("Velmora");
    g_mainWindow->setWindowTitle(settings().Title);
    return true;
}

void EndProgram()
{
    if (g_ended)
        return;
    g_ended = true;
    const RunHooks &hooks = runHooks();
    if (hooks.runActive && hooks.stopRun && hooks.runActive())
        hooks.stopRun();
    SaveSettings();
    SaveTopics();
    QCoreApplication::exit(0);
}

QMainWindow *mainWindow()
{
    return g_mainWindow;
}
