// Sites that refused the client for now (a robot check, too many asks) are left alone until
// they may be asked again: the next searches skip them instead of asking again at once, which
// only prolongs a block. Kept in a small file in the user's data folder, so that a console run
// started a minute later knows it too. QtCore only; used from the user-interface thread.
#pragma once

#include <QHash>
#include <QString>

#include <cstdint>
#include <functional>

class SitePauses {
public:
    // Seconds since the epoch; tests set their own clock.
    using Clock = std::function<int64_t()>;

    // path: the file (empty keeps everything in memory only).
    explicit SitePauses(QString path = QString(), Clock now = {});

    // The moment (seconds since the epoch) before which the site is not to be asked, or 0 when
    // it may be asked now.
    int64_t pausedUntil(const QString &site) const;

    // The site blocked the client: retryAfter is the site's own wait in seconds, or -1 when it
    // named none; then the pause grows with each block in a row (5 min, 15 min, then 1 h).
    // Returns the moment the pause ends.
    int64_t blocked(const QString &site, int32_t retryAfter);

    // The site answered (hits, or its page for nothing found): the next block starts short again.
    void answered(const QString &site);

    int64_t now() const { return now_(); }

private:
    struct Pause {
        int64_t until = 0;
        int32_t streak = 0; // blocks in a row
    };
    // Reads the file, then applies the change and writes it back, all under the file's lock:
    // two runs at once each keep the other's pauses.
    void update(const std::function<void(QHash<QString, Pause> &)> &change);
    void load();
    void save() const;

    QString path_;
    Clock now_;
    QHash<QString, Pause> pauses_;
};
