#include "settings/startup.h"

#include "common/pause.h"
#include "core/helptable.h"
#include "core/session.h"
#include "core/settings.h"
#include "core/sitelist.h"
#include "core/topicstore.h"
#include "mainwindow/form1.h"
#include "settings/splash.h"
#include "tessel.h"

bool StartProgram(Session &session, QPointer<Form1> &window, int mainWaitMs)
{
    LoadSettings(session);
    ShowSplash();
    Pause(200);
    // The library answers for the built-in splash's device; it exists even when the picture
    // window is the one shown.
    builtInSplash();
    session.screenDpi = GetDPI(0);
    if (LoadSiteInfo(session) < 0) {
        HideSplash();
        return false;
    }
    LoadHelp(session.help);
    LoadTopics(session);
    // The main window lays itself out, shows itself, hides the start-up window and waits
    // while handling events.
    // Closing hides the window but keeps it: a run's polling loop may still be on the stack
    // when the user closes it, and must find the window alive.
    window = new Form1(session);
    window->rememberPlace = true;
    window->Form_Load(mainWaitMs);
    session.settings.Title = QStringLiteral("Velmora");
    // The user may have closed the window while it settled.
    if (window)
        window->setWindowTitle(session.settings.Title);
    return true;
}
