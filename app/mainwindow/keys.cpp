#include "mainwindow/keys.h"

#include "core/session.h"
#include "mainwindow/form1.h"

#include <QAction>
#include <QLineEdit>
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
    // The address box exists in browse mode only; elsewhere the key does nothing.
    auto *address = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_L), form);
    QObject::connect(address, &QShortcut::activated, form, [form] {
        if (!form->BrowseMode)
            return;
        form->URL->setFocus(Qt::ShortcutFocusReason);
        form->URL->selectAll();
    });
}
