// A site from an OpenSearch description, as the console's import and the site-search window
// add one: the description read from a file or fetched from an address, and turned into a
// site block of the user catalogue. Each front end words the faults in its own language.
#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

enum class DescriptionFault {
    None,
    Unreadable, // a file that isn't there, isn't a plain file, or passes the size limit
    NoPlace,    // no temporary file for the download
    NotFetched, // the address gave no description in time
};

// Reads the description at where: an http or https address is fetched through the library's
// download, anything else is a file path. wait is called between looks at the download (a
// window handles its events there, the console sleeps); the download is given up after
// 60 seconds. detail gets the temporary file's error text for NoPlace.
DescriptionFault ReadDescription(const QString &where, QByteArray &bytes,
                                 const std::function<void()> &wait, QString *detail = nullptr);

struct DescriptionDownload;

// ReadDescription for a window: the download is looked at from a timer, so the event loop
// goes on as it is; ended is emitted once, from the event loop, files included.
class DescriptionFetch : public QObject {
    Q_OBJECT
public:
    explicit DescriptionFetch(QObject *parent = nullptr);
    ~DescriptionFetch() override;
    void start(const QString &where);
    bool busy() const { return busy_; }

Q_SIGNALS:
    void ended(DescriptionFault fault, const QByteArray &bytes, const QString &detail);

private:
    void look();
    void end(DescriptionFault fault, const QString &detail = QString());

    std::unique_ptr<DescriptionDownload> download_;
    QTimer timer_;
    QDeadlineTimer deadline_;
    QByteArray bytes_;
    bool busy_ = false;
};

// The site block a description makes (made: its length, or the library's OpenSearch error).
struct SiteDraft {
    int32_t made = 0;
    std::vector<char> entry; // CP932, NUL-terminated, for UserSiteAdd

    bool ok() const { return made >= 0; }
    // The name on the block's SITE line; empty for a failed draft.
    QString name() const;
    // The block as text, for showing it before it is added.
    QString text() const;
};

SiteDraft DraftSite(const QByteArray &description);
