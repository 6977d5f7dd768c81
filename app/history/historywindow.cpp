#include "history/historywindow.h"

#include "common/messagebox.h"
#include "history/historylink.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

HistoryWindow::HistoryWindow(HistoryLink &link, QWidget *parent) : QDialog(parent), link_(link)
{
    setObjectName(QStringLiteral("HistoryWindow"));
    setWindowTitle(QStringLiteral("履歴"));
    resize(720, 420);

    Find = new QLineEdit(this);
    Find->setObjectName(QStringLiteral("Find"));
    Find->setPlaceholderText(QStringLiteral("履歴のタイトル・URL・説明から検索"));
    Find->setClearButtonEnabled(true);
    Runs = new QTreeView(this);
    Runs->setObjectName(QStringLiteral("Runs"));
    Runs->setRootIsDecorated(false);
    Runs->setUniformRowHeights(true);
    Runs->setSelectionMode(QAbstractItemView::SingleSelection);
    Runs->setModel(&runs);

    auto *buttons = new QHBoxLayout;
    const auto button = [&](QPushButton *&b, const char *name, const QString &text) {
        b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        buttons->addWidget(b);
    };
    button(cmdOpen, "cmdOpen", QStringLiteral("開く"));
    button(cmdRerun, "cmdRerun", QStringLiteral("再実行"));
    button(cmdDelete, "cmdDelete", QStringLiteral("削除"));
    buttons->addStretch();
    auto *close = new QPushButton(QStringLiteral("閉じる"), this);
    close->setAutoDefault(false);
    buttons->addWidget(close);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Find);
    layout->addWidget(Runs);
    layout->addLayout(buttons);

    // A search per pause in the typing, not per key: a short word reads many hits.
    auto *typing = new QTimer(this);
    typing->setSingleShot(true);
    typing->setInterval(250);
    connect(Find, &QLineEdit::textChanged, typing, qOverload<>(&QTimer::start));
    connect(typing, &QTimer::timeout, this, &HistoryWindow::refresh);
    connect(Runs, &QTreeView::doubleClicked, this, &HistoryWindow::open);
    connect(cmdOpen, &QPushButton::clicked, this, &HistoryWindow::open);
    connect(cmdRerun, &QPushButton::clicked, this, &HistoryWindow::rerun);
    connect(cmdDelete, &QPushButton::clicked, this, &HistoryWindow::remove);
    connect(close, &QPushButton::clicked, this, &QDialog::hide);
}

void HistoryWindow::showEvent(QShowEvent *event)
{
    refresh();
    QDialog::showEvent(event);
}

void HistoryWindow::refresh()
{
    HistoryStore *store = link_.reader();
    if (!store)
        return;
    const QString text = Find->text().trimmed();
    if (text.isEmpty()) {
        auto list = store->runs();
        const auto watches = store->watches();
        runs.setRuns(list.value_or(std::vector<HistoryRunSummary>{}),
                     watches.value_or(std::vector<HistoryWatch>{}));
        if (Runs->model() != &runs)
            Runs->setModel(&runs);
    } else {
        matches.setMatches(store->search(text).value_or(std::vector<HistoryMatch>{}));
        if (Runs->model() != &matches)
            Runs->setModel(&matches);
    }
    if (!store->notice().isEmpty())
        MsgBox(store->notice());
}

qint64 HistoryWindow::selectedRun() const
{
    const QModelIndex current = Runs->currentIndex();
    return current.isValid() ? current.data(HistoryRunsModel::RunRole).toLongLong() : 0;
}

void HistoryWindow::open()
{
    if (const qint64 run = selectedRun())
        link_.showRun(run);
}

void HistoryWindow::rerun()
{
    if (const qint64 run = selectedRun())
        link_.rerun(run);
}

void HistoryWindow::remove()
{
    const qint64 run = selectedRun();
    HistoryStore *store = run ? link_.reader() : nullptr;
    if (!store)
        return;
    if (!store->deleteRun(run))
        MsgBox(store->notice());
    refresh();
}
