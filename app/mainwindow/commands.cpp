#include "mainwindow/commands.h"

#include "common/messagebox.h"
#include "core/keywords.h"
#include "core/makerhost.h"
#include "core/runcontroller.h"
#include "core/session.h"
#include "driver/confirm.h"
#include "driver/searching.h"
#include "help/helpwindow.h"
#include "help/productinfo.h"
#include "mainwindow/form1.h"
#include "mainwindow/report.h"
#include "settings/settingwindow.h"
#include "topics/topicswindow.h"
#include "update/download.h"
#include "update/tohalvane.h"

#include <QTreeWidget>
#include <QWebEngineView>

static const QString kUpdateCaption = QStringLiteral("最新版ダウンロード");

// A run is busy while a search or a link check goes on.
static bool busy(const RunController &run)
{
    return run.RunState == kRunSearch || run.RunState == kRunCheck;
}

static void showMonitor(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
    window->setFocus();
}

// The web view that back, forward and stop act on: the browse pane in browse mode, the
// preview pane while it is shown; none otherwise (or before the panes exist).
static QWebEngineView *activePane(const Form1 *form)
{
    if (form->BrowseMode)
        return form->Web;
    return form->PreviewShown ? form->Web2 : nullptr;
}

// Why a command can't act in the window's present state, for the commands a user is likely to
// try in vain; empty when it can act (or when a run going on is the reason: the status line
// already shows the run). The entries stay enabled, so the answer comes when it is asked for.
QString WhyNot(const Form1 &form, int command)
{
    const Session &session = form.session();
    const RunController &run = session.run;
    if (run.RunState != kRunIdle || session.update.busy())
        return QString();
    switch (command) {
    case 2:
        if (form.BrowseMode)
            return QStringLiteral(
                "閲覧モードでは検索できません。画面切替で検索モードに戻してください。");
        if (KeywordIsBlank(form.searchWords()))
            return QStringLiteral("キーワードを入力してください。");
        break;
    case 3:
        if (form.BrowseMode)
            return QStringLiteral("リンク確認は検索モードで行います。");
        [[fallthrough]];
    case 7:
    case 8:
        if (run.HitCount < 1)
            return QStringLiteral("検索結果がありません。先に検索してください。");
        break;
    case 20:
    case 21:
        if (!activePane(&form))
            return QStringLiteral(
                "戻る・進むは閲覧モードか、Velmoraブラウザを表示しているときに使えます。");
        break;
    case 22:
        if (!form.BrowseMode)
            return QStringLiteral(
                "ホームは閲覧モードで使えます。画面切替で閲覧モードにしてください。");
        break;
    default:
        break;
    }
    return QString();
}

bool SaidWhyNot(Form1 &form, int command)
{
    const QString why = WhyNot(form, command);
    if (why.isEmpty())
        return false;
    // Not the run's text: the search face gets that back when it returns from browse mode.
    form.showPageStatus(why);
    return true;
}

static void openInBrowser(Form1 *form, const QString &address)
{
    form->TargetURL = address;
    form->Do_RefIE();
}

void Form1::runCommand(int command)
{
    RunCommand(*this, command);
}

void RunCommand(Form1 &window, int command)
{
    Form1 *form = &window;
    if (SaidWhyNot(window, command))
        return;
    Session &session = form->session();
    RunController &run = session.run;
    // A search, a check and the update run each start only while none of them is on.
    const bool idle = run.RunState == kRunIdle && !session.update.busy();
    switch (command) {
    case 1: // change topic
        form->ChangeTopic();
        break;
    case 2: // search
        if (idle && !form->BrowseMode)
            run.Do_Toggle();
        break;
    case 3: // link check
        if (idle && !form->BrowseMode && run.HitCount >= 1)
            run.Do_Check();
        break;
    case 4: // delete dead links
        if (!busy(run) && run.HitCount >= 1)
            run.Do_DelDead();
        break;
    case 5: // stop: in browse mode only the browse pane's loading
        if (QWebEngineView *pane = activePane(form))
            pane->stop();
        if (!form->BrowseMode)
            run.Do_Stop();
        break;
    case 6: // exit
        form->EndProgram();
        break;
    case 7: // save as HTML
        if (!busy(run) && run.HitCount >= 1)
            SaveAsHtml(form);
        break;
    case 8: // view the list in the desktop's browser
        if (!busy(run) && run.HitCount >= 1)
            ViewInBrowser(form);
        break;
    case 9: // show the search monitor
        showMonitor(form->runWindows().searching());
        break;
    case 10: // show the check monitor
        showMonitor(form->runWindows().confirm());
        break;
    case 11: // show the preview pane
        if (!form->BrowseMode && !form->PreviewShown)
            form->Do_ShowWeb2();
        break;
    case 12: // hide the preview pane
        if (!form->BrowseMode && form->PreviewShown)
            form->Do_HideWeb2();
        break;
    case 13: // help
        ShowHelpWindow(form->owned.help, session.help, form);
        break;
    case 15: // the maker's support page; disabled while no maker's host is set
        if (!MakerHost().isEmpty())
            openInBrowser(form, MakerUrl(kSupportPagePath));
        break;
    case 16: // update: a packaged program leaves it to the package manager
        if (UpdatesFromPackages())
            MsgBox(PackagedUpdateText(), QMessageBox::Ok, kUpdateCaption);
        else if (idle && !form->BrowseMode && !MakerHost().isEmpty())
            ShowDownloadWindow(form->owned.download, session.update, form);
        break;
    case 17: // product information, not blocking
        ShowProductInfo(form->owned.productInfo, form);
        break;
    case 18: // settings
        if (!busy(run))
            ShowSettingWindow(form->owned.setting, session, form, [form](int32_t points) {
                QFont font = form->LView->font();
                font.setPointSize(points);
                form->LView->setFont(font);
            });
        break;
    case 19: // topics
        if (!busy(run))
            ShowTopicsWindow(form->owned.topics, session, form,
                             [form](bool sitesChanged) { form->TopicsClosed(sitesChanged); });
        break;
    case 20: // back; a pane without an earlier page ignores it
        if (QWebEngineView *pane = activePane(form))
            pane->back();
        break;
    case 21: // forward
        if (QWebEngineView *pane = activePane(form))
            pane->forward();
        break;
    case 22: // home
        if (form->BrowseMode) {
            form->TargetURL = session.settings.HomeURL;
            form->Do_Browse1();
        }
        break;
    case 23: // open in the browse pane
        form->Do_Browse1();
        break;
    case 24: // open in the preview pane
        form->Do_Browse2();
        break;
    case 25: // open in the desktop's browser
        form->Do_RefIE();
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

void SendToMaker(Form1 &form)
{
    ShowToHalvane(form.owned.toHalvane, &form);
}

void OpenNews(Form1 &form)
{
    if (!MakerHost().isEmpty())
        openInBrowser(&form, MakerUrl(kNewsPagePath));
}
