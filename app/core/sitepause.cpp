#include "core/sitepause.h"

#include "core/atomicfile.h"

#include <QDateTime>

#include <algorithm>
#include <array>

namespace {

// A handful of lines per paused site; a larger file is not ours.
constexpr qint64 kPauseFileLimit = 64 * 1024;
constexpr std::array<int64_t, 3> kGrowingPause{5 * 60, 15 * 60, 60 * 60};

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
        const Pause p{cells[0].toLongLong(&untilOk), cells[1].toInt(&streakOk)};
        const QString name = QString::fromUtf8(cells[2]);
        if (untilOk && streakOk && p.streak >= 0 && !name.isEmpty())
            pauses_.insert(name, p);
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

int64_t SitePauses::blocked(const QString &site, int32_t retryAfter)
{
    Pause &p = pauses_[site];
    const int64_t wait =
        retryAfter >= 0
            ? std::max<int64_t>(retryAfter, 1)
            : kGrowingPause[size_t(std::min<int32_t>(p.streak, kGrowingPause.size() - 1))];
    p.streak += 1;
    p.until = now_() + wait;
    save();
    return p.until;
}

void SitePauses::answered(const QString &site)
{
    if (pauses_.remove(site) > 0)
        save();
}
