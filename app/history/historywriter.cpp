#include "history/historywriter.h"

#include "core/historystore.h"

HistoryWriter::HistoryWriter(const QString &path, QObject *parent)
    : QObject(parent), path_(path), store_(std::make_unique<HistoryStore>())
{
    thread_.setObjectName(QStringLiteral("history writer"));
    worker_ = new QObject;
    worker_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    thread_.start();
}

HistoryWriter::~HistoryWriter()
{
    // The quit is queued behind the work already asked for, so nothing asked is lost.
    post([this] { store_->close(); });
    QMetaObject::invokeMethod(
        worker_, [this] { thread_.quit(); }, Qt::QueuedConnection);
    thread_.wait();
}

template <class Work> void HistoryWriter::post(Work work)
{
    QMetaObject::invokeMethod(worker_, std::move(work), Qt::QueuedConnection);
}

HistoryStore *HistoryWriter::open(QString &notice)
{
    if (!store_->isOpen()) {
        const bool opened = store_->open(path_);
        // A damaged file set aside is told even though the new one opened.
        notice = store_->notice();
        if (!opened)
            return nullptr;
    }
    return store_.get();
}

void HistoryWriter::store(HistoryRun run, int maxRuns, qint64 replacing)
{
    // Moved, not copied: the window's thread hands a thousand hits over in no time.
    post([this, run = std::move(run), maxRuns, replacing] {
        QString notice;
        HistoryStore *store = open(notice);
        if (!store) {
            Q_EMIT stored(0, run.watch, {}, notice);
            return;
        }
        store->setMaxRuns(maxRuns);
        const auto done = store->storeRun(run);
        if (!done) {
            Q_EMIT stored(0, run.watch, {}, store->notice());
            return;
        }
        QStringList fresh;
        for (int i : done->fresh)
            fresh << run.hits[size_t(i)].mergeKey();
        if (replacing != 0 && !store->deleteRun(replacing))
            notice = store->notice();
        Q_EMIT stored(done->run, run.watch, fresh, notice);
    });
}

void HistoryWriter::clear()
{
    post([this] {
        QString notice;
        HistoryStore *store = open(notice);
        const bool done = store && store->clear();
        Q_EMIT cleared(done, done ? notice : store ? store->notice() : notice);
    });
}
