#include "mainwindow/keys.h"

#include "core/session.h"
#include "mainwindow/form1.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QShortcut>

namespace {

// Menu entries that take a key: the key shows beside the entry's caption.
struct EntryKey {
    const char *entry;
    QKeyCombination key;
};

constexpr EntryKey kEntryKeys[] = {
    {"mSave", Qt::CTRL | Qt::Key_S},
    {"mExit", Qt::CTRL | Qt::Key_Q},
    {"mOpenHelp", QKeyCombination(Qt::Key_F1)},
    {"mHistory", Qt::CTRL | Qt::Key_H},
};

// Keys bound elsewhere (as shortcuts of the window, with rules of their own) that the menus
// should still name beside the entry that does the same. The entry gets the key in the
// widget context: shown in the menu, but held by the open menu only, so it never competes
// with the window's own shortcut (an open menu takes Esc for itself).
constexpr EntryKey kShownKeys[] = {
    {"mSearch", QKeyCombination(Qt::Key_F5)},
    {"mAbort", QKeyCombination(Qt::Key_Escape)},
};

// The address box: in browse mode it takes the focus with its text selected; on the search
// face there is none, and the status line says so.
void goToAddress(Form1 *form)
{
    if (!form->BrowseMode) {
        form->showPageStatus(QStringLiteral(
            "閲覧対象の欄は閲覧モードにあります。画面切替で閲覧モードにしてください。"));
        return;
    }
    form->URL->setFocus(Qt::ShortcutFocusReason);
    form->URL->selectAll();
}

} // namespace

void BindKeys(Form1 *form)
{
    for (const EntryKey &k : kEntryKeys) {
        if (auto *entry = form->findChild<QAction *>(QLatin1String(k.entry)))
            entry->setShortcut(QKeySequence(k.key));
    }
    // Ending the program and the help answer in every window of the program (the progress
    // windows, the help window), not only while the main window has the focus. A modal
    // window still holds them off until it is closed.
    for (const char *entry : {"mExit", "mOpenHelp"}) {
        if (auto *action = form->findChild<QAction *>(QLatin1String(entry)))
            action->setShortcutContext(Qt::ApplicationShortcut);
    }
    // F5 searches again with the keywords in the box: the search command, refused as it is
    // while a run goes on or in browse mode.
    auto *again = new QShortcut(QKeySequence(Qt::Key_F5), form);
    QObject::connect(again, &QShortcut::activated, form, [form] { form->runCommand(2); });
    // Esc stops a running search or check, in either face (the stop button leaves a run
    // alone in browse mode); with no run on, or a stop already pending, it does nothing.
    auto *stop = new QShortcut(QKeySequence(Qt::Key_Escape), form);
    // Only with the focus in the main window: a dialog of its own closes on Esc.
    stop->setContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(stop, &QShortcut::activated, form, [form] {
        RunController &run = form->session().run;
        if ((run.RunState == kRunSearch || run.RunState == kRunCheck) && !run.stopping())
            run.Do_Stop();
    });
    for (const EntryKey &k : kShownKeys) {
        if (auto *entry = form->findChild<QAction *>(QLatin1String(k.entry))) {
            entry->setShortcut(QKeySequence(k.key));
            entry->setShortcutContext(Qt::WidgetShortcut);
        }
    }
    // The address box has an entry of its own at the end of the view menu, which carries
    // the key.
    if (auto *view = form->findChild<QMenu *>(QStringLiteral("mView"))) {
        view->addSeparator();
        QAction *address = view->addAction(QStringLiteral("閲覧対象へ移動(&L)"));
        address->setObjectName(QStringLiteral("mAddress"));
        address->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
        QObject::connect(address, &QAction::triggered, form, [form] { goToAddress(form); });
    }
}
