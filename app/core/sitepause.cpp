#include "core/sitepause.h"

#include "core/atomicfile.h"

#include <QDateTime>
#include <QLockFile>

#include <algorithm>
#include <array>

namespace {

// A handful of lines per paused site; a larger file is not ours.
constexpr qint64 kPauseFileLimit = 64 * 1024;
constexpr std::array<int64_t, 3> kGrowingPause{5 * 60, 15 * 60, 60 * 60};
// No pause, however it got into the file, outlasts what the longest Retry-After is allowed.
constexpr int64_t kLongestPause = 7 * 24 * 3600;
constexpr int32_t kLongestStreak = 1000;

} // namespace

SitePauses::SitePauses(QString path, Clock now) : path_(std::move(path)), now_(std::move(now))
{
    if (!now_)
        now_ = [] { return QDateTime::currentSecsSinceEpoch(); };
    load();
}

// One line a site: until, streak, name, tab-separated. Lines that don't read are dropped: the
// worst a lost pause costs is one early ask.
void SitePauses::load()
{
    pauses_.clear();
    QByteArray bytes;
    bool exists = false;
    if (path_.isEmpty() || !IsRegularOrAbsent(path_, kPauseFileLimit) ||
        !readWholeFile(path_, kPauseFileLimit, bytes, &exists))
        return;
    for (const QByteArray &line : bytes.split('\n')) {
        const QList<QByteArray> cells = line.split('\t');
        if (cells.size() != 3)
            continue;
        bool untilOk = false, streakOk = false;
        const int64_t until = cells[0].toLongLong(&untilOk);
        const int32_t streak = cells[1].toInt(&streakOk);
        const QString name = QString::fromUtf8(cells[2]);
        if (untilOk && streakOk && streak >= 0 && !name.isEmpty())
            pauses_.insert(
                name, {std::min(until, now_() + kLongestPause), std::min(streak, kLongestStreak)});
    }
}

void SitePauses::save() const
{
    if (path_.isEmpty())
        return;
    QByteArray bytes;
    for (auto it = pauses_.cbegin(); it != pauses_.cend(); ++it)
        bytes += QByteArray::number(qlonglong(it->until)) + '\t' + QByteArray::number(it->streak) +
                 '\t' + it.key().toUtf8() + '\n';
    writeFileAtomically(path_, bytes);
}

int64_t SitePauses::pausedUntil(const QString &site) const
{
    const auto it = pauses_.constFind(site);
    return it != pauses_.cend() && it->until > now_() ? it->until : 0;
}

void SitePauses::update(const std::function<void(QHash<QString, Pause> &)> &change)
{
    if (path_.isEmpty()) {
        change(pauses_);
        return;
    }
    // A lock left by a killed run is taken over; one that can't be had at all still lets the
    // change be written, as before there were locks.
    QLockFile lock(path_ + QStringLiteral(".lock"));
    lock.setStaleLockTime(10 * 1000);
    const bool locked = lock.tryLock(2000);
    load();
    change(pauses_);
    save();
    if (locked)
        lock.unlock();
}

int64_t SitePauses::blocked(const QString &site, int32_t retryAfter)
{
    int64_t until = 0;
    update([&](QHash<QString, Pause> &pauses) {
        Pause &p = pauses[site];
        const int64_t wait =
            retryAfter >= 0
                ? std::clamp<int64_t>(retryAfter, 1, kLongestPause)
                : kGrowingPause[size_t(std::min<int32_t>(p.streak, kGrowingPause.size() - 1))];
        p.streak = std::min(p.streak + 1, kLongestStreak);
        p.until = until = now_() + wait;
    });
    return until;
}

void SitePauses::answered(const QString &site)
{
    if (pauses_.contains(site))
        update([&](QHash<QString, Pause> &pauses) { pauses.remove(site); });
}
