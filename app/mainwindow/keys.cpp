#include "mainwindow/keys.h"

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
};

} // namespace

void BindKeys(Form1 *form)
{
    for (const EntryKey &k : kEntryKeys) {
        if (auto *entry = form->findChild<QAction *>(QLatin1String(k.entry)))
            entry->setShortcut(QKeySequence(k.key));
    }
    // The address box exists in browse mode only; elsewhere the key does nothing.
    auto *address = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_L), form);
    QObject::connect(address, &QShortcut::activated, form, [form] {
        if (!form->BrowseMode)
            return;
        form->URL->setFocus(Qt::ShortcutFocusReason);
        form->URL->selectAll();
    });
}
