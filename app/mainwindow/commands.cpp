#include "mainwindow/commands.h"

#include "driver/cfind.h"
#include "driver/check.h"
#include "driver/confirm.h"
#include "driver/searching.h"
#include "mainwindow/form1.h"

// A run is busy while a search or a link check goes on.
static bool busy()
{
    return RunState == kRunSearch || RunState == kRunCheck;
}

static void showMonitor(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
    window->setFocus();
}

void RunCommand(int command)
{
    Form1 *form = MainForm();
    if (!form)
        return;
    switch (command) {
    case 1: // change topic
        form->ChangeTopic();
        break;
    case 2: // search
        if (RunState == kRunIdle && !form->BrowseMode)
            Do_Toggle();
        break;
    case 3: // link check
        if (RunState == kRunIdle && !form->BrowseMode && HitCount >= 1)
            Do_Check();
        break;
    case 4: // delete dead links
        if (!busy() && HitCount >= 1)
            Do_DelDead();
        break;
    case 5: // stop
        if (!form->BrowseMode)
            Do_Stop();
        break;
    case 9: // show the search monitor
        showMonitor(SearchingForm());
        break;
    case 10: // show the check monitor
        showMonitor(ConfirmForm());
        break;
    case 23: // open in the browse pane
    case 24: // open in the preview pane
        if (command == 24 && !form->BrowseMode && !form->PreviewShown)
            form->Do_ShowWeb2();
        form->setStatusText(QStringLiteral("アクセス中： ") + form->TargetURL);
        break;
    case 26: // switch mode
        if (form->BrowseMode)
            form->ListMode();
        else
            form->TreeMode();
        break;
    default:
        break;
    }
}
