#include "history/historylink.h"

#include "common/messagebox.h"
#include "core/progdir.h"
#include "core/session.h"
#include "core/watchtimer.h"
#include "history/historywindow.h"
#include "history/historywriter.h"
#include "mainwindow/form1.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QStyledItemDelegate>
#include <QTreeView>

namespace {

// Draws the rows new to their watch bold.
class NewRowsBold : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.data(HitListModel::NewRole).toBool())
            option->font.setBold(true);
    }
};

// The window's reader never waits on a writer (the file is in WAL mode); only a program that
// holds the whole file keeps it out, and the window says so rather than freezing.
constexpr int kReaderBusyWaitMs = 2000;

} // namespace

QUrl ArchiveUrl(const QString &page)
{
    // The page's address goes in as it stands: the archive reads everything after "/web/*/"
    // as the address, its own query included.
    return QUrl(QStringLiteral("https://web.archive.org/web/*/") + page, QUrl::TolerantMode);
}

HistoryLink::HistoryLink(Form1 &form) : QObject(&form), form_(form)
{
    askWatchName = [this] {
        bool ok = false;
        const QString name = QInputDialog::getText(&form_, QStringLiteral("この検索を監視"),
                                                   QStringLiteral("監視の名前"), QLineEdit::Normal,
                                                   terms_.keywords, &ok);
        return ok ? name.trimmed() : QString();
    };
    openExternal = [](const QUrl &url) { return QDesktopServices::openUrl(url); };
    form.LView->setItemDelegate(new NewRowsBold(form.LView));
    if (auto *newOnly = form.findChild<QAction *>(QStringLiteral("mNewOnly")))
        newOnly->setCheckable(true);

    archive_ = form.mRClick->addAction(QStringLiteral("アーカイブで見る(&A)"));
    archive_->setObjectName(QStringLiteral("mArchive"));
    archive_->setVisible(false);
    connect(archive_, &QAction::triggered, this, [this] { archiveSelected(); });
    connect(form.mRClick, &QMenu::aboutToShow, this, [this] { updateArchiveEntry(); });

    // Rows come with every arrival: "新着のみ" holds for the rows as they are. The view keeps
    // a hidden row hidden through a sort.
    QAbstractItemModel *shown = &form.hits();
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(shown, signal, this, [this] { applyNewOnly(); });
    connect(shown, &QAbstractItemModel::modelReset, this, [this] { applyNewOnly(); });
    connect(shown, &QAbstractItemModel::dataChanged, this, [this] { applyNewOnly(); });
}

HistoryLink::~HistoryLink() = default;

QString HistoryLink::path() const
{
    return path_.isEmpty() ? userDataPath(QString::fromLatin1(kHistoryFileName)) : path_;
}

HistoryWriter *HistoryLink::writer()
{
    if (!writer_) {
        writer_ = std::make_unique<HistoryWriter>(path());
        connect(writer_.get(), &HistoryWriter::stored, this, &HistoryLink::stored);
        connect(
            writer_.get(), &HistoryWriter::cleared, this, [this](bool done, const QString &notice) {
                if (done)
                    shownRun_ = 0;
                form_.setStatusText(done ? QStringLiteral("履歴を消去しました。")
                                         : QStringLiteral("履歴を消去できませんでした。") + notice);
                if (window_)
                    window_->refresh();
            });
    }
    return writer_.get();
}

HistoryStore *HistoryLink::reader()
{
    if (!reader_) {
        reader_ = std::make_unique<HistoryStore>();
        reader_->setBusyWait(kReaderBusyWaitMs);
    }
    if (!reader_->isOpen()) {
        const bool opened = reader_->open(path());
        if (!reader_->notice().isEmpty())
            form_.setStatusText(reader_->notice());
        if (!opened)
            return nullptr;
    }
    return reader_.get();
}

void HistoryLink::searchStarted()
{
    const Session &session = form_.session();
    ++serial_;
    shownRun_ = 0;
    terms_ = {QDateTime::currentDateTime(), form_.Topic->currentText(), form_.Word->text(),
              session.settings.SearchMode == 1, pendingWatch_};
    pendingWatch_ = 0;
}

void HistoryLink::searchEnded()
{
    const Session &session = form_.session();
    if (session.settings.History == 0)
        return;
    storing_.push_back({serial_, true});
    writer()->store(RecordOfRun(session, form_.hits(), terms_), session.settings.HistoryRuns);
}

void HistoryLink::stored(qint64 run, qint64 watch, const QStringList &fresh, const QString &notice)
{
    const Storing asked = storing_.empty() ? Storing{-1, false} : storing_.front();
    if (!storing_.empty())
        storing_.pop_front();
    // A store problem never fails the search: the status line tells it.
    if (!notice.isEmpty() || run == 0)
        form_.setStatusText(QStringLiteral("履歴：") +
                            (notice.isEmpty() ? QStringLiteral("保存できませんでした。") : notice));
    if (asked.serial == serial_ && run != 0) {
        shownRun_ = run;
        terms_.watch = watch;
        if (asked.mark)
            form_.hits().markNew(QSet<QString>(fresh.begin(), fresh.end()));
    }
    if (window_)
        window_->refresh();
    Q_EMIT runStored(run);
}

bool HistoryLink::showRun(qint64 id)
{
    Session &session = form_.session();
    HistoryStore *store = session.idle() ? reader() : nullptr;
    if (!store)
        return false;
    const auto run = store->loadRun(id);
    if (!run) {
        if (!store->notice().isEmpty())
            form_.setStatusText(store->notice());
        return false;
    }
    ++serial_;
    form_.ListMode();
    form_.Init_LVResult();
    // The library's result store doesn't hold these hits: the run's commands (check, delete,
    // report) must find no hits of theirs to act on.
    session.run.HitCount = 0;
    QList<Hit> hits;
    for (const HistoryHit &h : run->hits)
        hits << HitOfStored(h);
    form_.hits().append(hits);
    terms_ = {run->time, run->topic, run->keywords, run->orMode, run->watch};
    shownRun_ = id;
    form_.setStatusText(StoredRunText(*run));
    return true;
}

bool HistoryLink::openAsked(const QString &watch, qint64 run)
{
    if (!form_.session().idle()) {
        form_.setStatusText(QStringLiteral("検索中のため、履歴の検索結果を開けません。"));
        return false;
    }
    HistoryStore *store = reader();
    if (!store)
        return false;
    if (watch.isEmpty()) {
        if (showRun(run))
            return true;
        form_.setStatusText(QStringLiteral("履歴に検索%1がありません。").arg(run));
        return false;
    }
    const auto watched = store->watch(watch);
    const auto runs = watched ? store->runs() : std::nullopt;
    if (!runs) {
        form_.setStatusText(store->notice().isEmpty()
                                ? QStringLiteral("監視「%1」がありません。").arg(watch)
                                : store->notice());
        return false;
    }
    // The run told of while it is still the watch's (a number freed by a deleted run may have
    // been given to another search since), else the watch's latest: the list is newest first.
    std::optional<qint64> latest;
    for (const HistoryRunSummary &r : *runs) {
        if (r.watch != watched->id)
            continue;
        if (r.id == run)
            return showRun(r.id);
        if (!latest)
            latest = r.id;
    }
    if (latest)
        return showRun(*latest);
    form_.setStatusText(QStringLiteral("監視「%1」の検索はまだ履歴にありません。").arg(watch));
    return false;
}

bool HistoryLink::rerun(qint64 id)
{
    Session &session = form_.session();
    HistoryStore *store = session.idle() ? reader() : nullptr;
    const auto run = store ? store->loadRun(id) : std::nullopt;
    if (!run)
        return false;
    const int topic = form_.Topic->findText(run->topic, Qt::MatchExactly);
    // A run of sites named one by one (the console's) or of a topic since deleted can't be
    // searched again here: the current topic would search something else.
    if (topic < 0) {
        form_.setStatusText(
            QStringLiteral("検索テーマ「%1」がないため再実行できません。").arg(run->topic));
        return false;
    }
    if (topic != session.settings.iTopic) {
        form_.Topic->setCurrentIndex(topic);
        form_.ChangeTopic();
        // Kept results the user would not give up, or a stop still ending: no search.
        if (session.settings.iTopic != topic || !session.idle())
            return false;
    }
    form_.TMethod->setCurrentIndex(run->orMode ? 1 : 0);
    session.settings.SearchMode = run->orMode ? 1 : 0;
    form_.Word->setText(run->keywords);
    pendingWatch_ = run->watch;
    form_.runCommand(2);
    // A search refused (browse mode, no keywords) leaves the watch for no other search.
    if (session.run.RunState != kRunSearch)
        pendingWatch_ = 0;
    return session.run.RunState == kRunSearch;
}

void HistoryLink::watchCurrent()
{
    Session &session = form_.session();
    if (shownRun_ == 0 || !session.idle()) {
        form_.setStatusText(QStringLiteral("監視にする検索がありません。"));
        return;
    }
    if (terms_.watch != 0) {
        form_.setStatusText(QStringLiteral("この検索はすでに監視しています。"));
        return;
    }
    HistoryStore *store = reader();
    const auto run = store ? store->loadRun(shownRun_) : std::nullopt;
    if (!run)
        return;
    const QString name = askWatchName();
    if (name.isEmpty())
        return;
    HistoryWatch watch;
    watch.name = name;
    watch.topic = run->topic;
    watch.sites = run->sites;
    watch.keywords = run->keywords;
    watch.orMode = run->orMode;
    const auto id = store->createWatch(watch);
    if (!id) {
        MsgBox(QStringLiteral("監視を作れませんでした。") + store->notice());
        return;
    }
    // The run shown becomes the watch's first: what the watch has seen starts with it.
    HistoryRun first = *run;
    first.watch = *id;
    storing_.push_back({serial_, false});
    writer()->store(std::move(first), session.settings.HistoryRuns, shownRun_);
    terms_.watch = *id;
    form_.setStatusText(QStringLiteral("「%1」を監視します。").arg(name));
}

void HistoryLink::clearHistory()
{
    const auto answer = MsgBox(QStringLiteral("履歴をすべて消去します。よろしいですか？"),
                               QMessageBox::Yes | QMessageBox::No, QStringLiteral("履歴を消去"),
                               QMessageBox::Question, QMessageBox::No);
    if (answer == QMessageBox::Yes)
        writer()->clear();
}

void HistoryLink::setNewOnly(bool on)
{
    newOnly_ = on;
    if (auto *entry = form_.findChild<QAction *>(QStringLiteral("mNewOnly")))
        entry->setChecked(on);
    applyNewOnly();
}

void HistoryLink::applyNewOnly()
{
    // The topic's site list has no new rows: the filter is for hits only.
    const bool filter = newOnly_ && form_.resultView();
    // Every arriving hit calls here: with nothing hidden and nothing to hide, no row is read.
    if (!filter && !rowsHidden_)
        return;
    rowsHidden_ = filter;
    QTreeView *view = form_.LView;
    QAbstractItemModel *rows = view->model();
    for (int r = 0; r < rows->rowCount(); ++r) {
        const bool hide = filter && !rows->index(r, 0).data(HitListModel::NewRole).toBool();
        if (view->isRowHidden(r, {}) != hide)
            view->setRowHidden(r, {}, hide);
    }
}

namespace {

struct Interval {
    const char *text;
    int minutes;
};
constexpr Interval kIntervals[] = {{"15分ごと", 15},   {"30分ごと", 30},   {"1時間ごと", 60},
                                   {"3時間ごと", 180}, {"6時間ごと", 360}, {"1日ごと", 1440}};

} // namespace

QString HistoryLink::pickWatch(const QString &title, const QString &label)
{
    HistoryStore *store = reader();
    const auto watches = store ? store->watches() : std::nullopt;
    if (!watches || watches->empty()) {
        MsgBox(
            QStringLiteral("監視している検索がありません。「この検索を監視」で作ってください。"));
        return QString();
    }
    QStringList names;
    int current = 0;
    for (const HistoryWatch &w : *watches) {
        if (w.id == terms_.watch)
            current = int(names.size());
        names << w.name;
    }
    bool ok = false;
    const QString name = QInputDialog::getItem(&form_, title, label, names, current, false, &ok);
    return ok ? name : QString();
}

void HistoryLink::scheduleWatch()
{
    const QString name = pickWatch(QStringLiteral("定期的に確認"), QStringLiteral("確認する監視"));
    if (name.isEmpty())
        return;
    bool ok = false;
    QStringList intervals;
    for (const Interval &i : kIntervals)
        intervals << QString::fromUtf8(i.text);
    const QString every =
        QInputDialog::getItem(&form_, QStringLiteral("定期的に確認"), QStringLiteral("確認の間隔"),
                              intervals, 2, false, &ok);
    if (!ok)
        return;
    const int minutes = kIntervals[intervals.indexOf(every)].minutes;
    const QString program =
        QCoreApplication::applicationDirPath() + QStringLiteral("/velmora-search");
    QString said;
    if (!WriteWatchUnits(program, name, minutes, &said)) {
        MsgBox(QStringLiteral("定期的な確認を設定できませんでした。\n") + said, QMessageBox::Ok,
               QString(), QMessageBox::Critical);
        return;
    }
    if (!EnableWatchTimer(name, &said)) {
        MsgBox(QStringLiteral("systemctlが失敗したため、定期的な確認を始められませんでした。\n") +
                   said,
               QMessageBox::Ok, QString(), QMessageBox::Critical);
        return;
    }
    form_.setStatusText(QStringLiteral("「%1」を%2確認します。").arg(name, every));
}

void HistoryLink::stopWatching()
{
    const QString name = pickWatch(QStringLiteral("監視をやめる"), QStringLiteral("やめる監視"));
    if (name.isEmpty())
        return;
    const auto answer = MsgBox(
        QStringLiteral("監視「%1」をやめます。これまでの検索は履歴に残ります。よろしいですか？")
            .arg(name),
        QMessageBox::Yes | QMessageBox::No, QStringLiteral("監視をやめる"), QMessageBox::Question,
        QMessageBox::No);
    if (answer == QMessageBox::Yes && unwatch(name))
        form_.setStatusText(QStringLiteral("「%1」の監視をやめました。").arg(name));
}

bool HistoryLink::unwatch(const QString &name)
{
    HistoryStore *store = reader();
    const auto watch = store ? store->watch(name) : std::nullopt;
    if (!watch)
        return false;
    QString said;
    if (!UnscheduleWatch(watch->name, &said)) {
        MsgBox(QStringLiteral("systemctlが失敗したため、定期的な確認を止められませんでした。\n") +
                   said,
               QMessageBox::Ok, QString(), QMessageBox::Critical);
        return false;
    }
    if (!store->deleteWatch(watch->id)) {
        MsgBox(QStringLiteral("監視をやめられませんでした。") + store->notice());
        return false;
    }
    if (terms_.watch == watch->id)
        terms_.watch = 0;
    if (window_)
        window_->refresh();
    return true;
}

HistoryWindow *HistoryLink::window()
{
    if (!window_)
        window_ = new HistoryWindow(*this, &form_);
    return window_;
}

void HistoryLink::updateArchiveEntry()
{
    const int position = form_.selectedPosition();
    const bool dead = position > 0 && form_.resultView() &&
                      form_.LView->currentIndex().siblingAtColumn(0).data(
                          HitListModel::LinkStateRole) == int(kHitNotFound);
    archive_->setVisible(dead && terms_.watch != 0);
}

void HistoryLink::archiveSelected()
{
    const QModelIndex current = form_.LView->currentIndex();
    if (!current.isValid())
        return;
    const QString url = current.siblingAtColumn(HitListModel::Url).data().toString();
    if (!url.isEmpty() && !openExternal(ArchiveUrl(url)))
        form_.setStatusText(QStringLiteral("アーカイブを開けませんでした。"));
}

void ShowHistory(Form1 &form)
{
    HistoryWindow *window = form.history->window();
    window->show();
    window->raise();
    window->activateWindow();
}

void ToggleNewOnly(Form1 &form)
{
    form.history->setNewOnly(!form.history->newOnly());
}

void WatchSearch(Form1 &form)
{
    form.history->watchCurrent();
}

void ClearHistory(Form1 &form)
{
    form.history->clearHistory();
}

void ScheduleWatch(Form1 &form)
{
    form.history->scheduleWatch();
}

void StopWatching(Form1 &form)
{
    form.history->stopWatching();
}
