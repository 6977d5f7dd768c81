// velmora-search: the console front end. It searches like the window does, through the same
// run controller, catalogue, topics and settings, and writes hits to standard output as they
// arrive and each site's outcome to standard error. QtCore only: it runs without a display.
#pragma once

#include "core/historyrecords.h"
#include "core/hitlistmodel.h"
#include "core/outcome.h"
#include "core/runcontroller.h"

#include <QDateTime>
#include <QFile>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryFile>
#include <QTextStream>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class ConsoleHistory;
class Session;

// Exit statuses. A script tells "nothing there" (1) from "not every site could be asked" (4).
enum : int {
    kExitHits = 0,   // the search took hits; every site of --check-sites passed
    kExitNoHits = 1, // no hit, and every site answered; a site of --check-sites failed
    kExitUsage = 2,  // the command line could not be used
    // the program directory or the catalogue could not be read; standard output, the report
    // or the sites file could not be written
    kExitBroken = 3,
    // no hit, and a site gave no answer to read (SiteFailed); with --strict, any such site
    kExitSitesFailed = 4,
    // ended by a signal (Ctrl+C, SIGTERM): 128 + its number, as a shell reports it
    kExitSignalBase = 128,
};

// A site that gave no page to read: no name, no connection, no answer, an HTTP error, no
// request it could be sent. A page read without hits is an answer (an honest "nothing").
bool SiteFailed(const SiteResult &result);

enum class HitFormat { Tsv, Json, Csv };

// One line of output for a hit: the seven texts of the list (title, URL, preview, date,
// size, score, site) and, after a link check, the hit's state ("OK", "Not Found" ...). The
// texts come from pages: a TSV line carries no control character, line separator or bidi
// control (each becomes a blank), a CSV cell never starts like a formula, JSON escapes them.
// With --merge a line stands for a page: it adds the sites that found it (JSON: "sites", a list,
// and "rank"; TSV and CSV: the names joined by ", " as the last cell).
struct MergedPage {
    QStringList sites; // first finder first
    double rank = 0;   // the merged rank (core/merge.h)
};
QString FormatHit(HitFormat format, const QStringList &row, const QString &state,
                  const MergedPage *page = nullptr);
// The line before the first hit, or an empty text when the format has none.
QString FormatHeader(HitFormat format, bool withState, bool withSites = false);

// One site of a search: its outcome and the figures the site checker prints.
struct SiteReport {
    int32_t site = -1;    // catalogue index
    int slot = -1;        // of the search; -1 for a site the search passed over
    bool written = false; // its record is out
    SiteResult result;
    int32_t status = 0; // FetchResult of its last page
    int32_t bytes = 0;  // of its last page
    int32_t hits = 0;
    int32_t emptyTitles = 0;
    double seconds = 0;
};

// A site's outcome as a script reads it: ok, empty (the site's own page for nothing found),
// nohits (a page without hits: the script may no longer fit), blocked (refused for now, or
// still paused), http, dns, refused, tls, timeout, closed (no answer on the connection),
// unbuilt (no request could be built), stopped, skipped (not asked: the site's encoding can't
// carry the keywords), full (the hit list had no room left).
QString OutcomeName(const SiteResult &result);

// A site's record: with json one object a line, {"type":"site","site":...,"outcome":...,
// "http":404,"hits":0,"seconds":1.25} ("http" null when no page answered); else a TSV line of
// the same fields.
QString FormatSite(HitFormat format, const QString &name, const SiteReport &report);
// The head line of a TSV file of site records.
QString SiteHeader();

// The site's date text as ISO 8601 ("2024-05-02", "2018-11-02T10:15"), when it reads as a
// calendar date: year, month and day in figures (2024/5/2, 2024-05-02, 2024年5月2日) or with
// an English month name (May 2, 2024; 2 May, 2024; 2 May 2024). Else an empty text.
QString IsoDate(const QString &text);

// A site that takes no hit, or leaves more than a tenth of its titles empty, needs its script
// mended; a blocked site, or one whose own page said it found nothing, could not be judged.
bool SiteFails(const SiteReport &report);

// The checker's verdict of a site: ok, fail, blocked or empty.
QString CheckVerdict(const SiteReport &report);

// The checker's line for a site: name, verdict (FAIL in capitals), outcome, HTTP status,
// bytes, hits, empty, seconds.
QString SiteCheckLine(const QString &name, const SiteReport &report);

// The language of the console's own texts (progress, summary): Japanese under a "ja" locale,
// English otherwise. The locale is the first set of LC_ALL, LC_MESSAGES and LANG.
OutcomeLanguage LanguageOfLocale(const char *lcAll, const char *lcMessages, const char *lang);

// The console program after its options are read. start() returns at once; finished() tells
// the exit status once everything is written. Signals that ask to end (Ctrl+C) stop the run
// in order: every library thread is joined before finished().
class ConsoleSearch : public QObject, public RunView {
    Q_OBJECT

public:
    // out and err must outlive the object; errTerminal turns on the progress line, which
    // (with the summary) is written in language.
    ConsoleSearch(Session &session, QTextStream &out, QTextStream &err, bool errTerminal,
                  OutcomeLanguage language = OutcomeLanguage::English);
    ~ConsoleSearch() override;

    // Called once the command line asks for more than --help or --version, before any file
    // is read (main enters the program directory there); relative paths of the command line
    // are already resolved against the current directory. False ends with kExitBroken.
    void setEnterProgramDir(std::function<bool()> enter) { enterProgramDir_ = std::move(enter); }

    // Reads the command line (arguments without the program's name) and starts the work.
    // Returns -1 when work was started (wait for finished()), else the exit status.
    int start(const QStringList &arguments);

    // Asks a running search or check to stop. signal: the one that asked (SIGINT for
    // Ctrl+C), which sets the exit status; 0 when the program stops itself.
    void interrupt(int signal = 0);
    // True once a write of standard output failed (and standard error said so).
    bool outputLost() const { return outputLost_; }

Q_SIGNALS:
    void finished(int status);

public:
    // ---- RunView ----
    void statusChanged(const QString &text) override;
    void clockStarted() override {}
    void clockStopped() override {}
    void stopNotice(bool shown) override;
    void message(const QString &text, const QString &title) override;
    QString searchWords() const override { return words_; }
    bool goOnWithout(const QStringList &characters) override;
    void searchStarted() override;
    bool hitAdded(const Hit &hit) override;
    bool takesHits() const override { return true; }
    void searchSlotDone(int slot) override;
    void searchEnded(const QString &endText) override;
    void checkStarted() override {}
    void checkSlotDone(int slot, int32_t state) override;
    void checkEnded(const QString &counted, const QString &dead) override;
    QList<int32_t>
    removeDeadAndRepeated(const std::function<bool(int32_t, int32_t)> &same) override;
    int listCount() const override { return int(hits_.size()); }
    int32_t selectedIndex() const override { return -1; }
    void removeHit(int32_t index) override;
    void linkChecked(int32_t index, int32_t state) override;

private:
    struct Listed {
        QStringList row;
        int32_t index = 0;
        bool written = false; // with --check: its line is out
        MergedPage page;      // with --merge
    };

    int parse(const QStringList &arguments);
    void searchNext();
    void writeCheckedSite(const SiteReport &report);
    void writeHit(const Listed &hit, const QString &state);
    void writeOutcomes();
    void writeEndedSites(bool all);
    void writeNotice(const QString &text);
    bool reserveReport(const QString &given);
    bool writeReport();
    bool outputFailed();
    std::optional<HistoryStored> storeRun();
    void writeStoredHits(const std::vector<HistoryHit> &hits);
    int settle(int status);
    void finish();
    void progress();
    QString text(const char *english, const char *japanese) const;
    void endProgress();

    Session &session_;
    QTextStream &out_;
    QTextStream &err_;
    bool terminal_ = false;
    OutcomeLanguage language_ = OutcomeLanguage::English;
    QTimer clock_; // redraws the progress line each second, so its elapsed time counts
    bool progressShown_ = false;
    std::function<bool()> enterProgramDir_;

    // The command line.
    HitFormat format_ = HitFormat::Tsv;
    bool check_ = false;
    bool checkSites_ = false;
    bool merge_ = false;
    bool strict_ = false;
    QString report_;                             // absolute
    std::unique_ptr<QTemporaryFile> reportSpot_; // the report's place, taken before the search
    QFile sitesFile_;                            // --sites: the site records as TSV
    QString words_;
    std::vector<int32_t> sites_; // catalogue indexes to search
    QString topicName_;          // the topic searched; empty when sites were named
    // --watch: the watch's id. Its hits are held back and only the new ones written at the end.
    qint64 watch_ = 0;
    QString watchName_; // its name, for the desktop notification of its new hits
    std::unique_ptr<ConsoleHistory> history_;

    // The run. With --merge hits_ holds a hit per page, the first found; merged_ the pages.
    std::vector<Listed> hits_;
    HitListModel merged_;
    void takeMergedPages();
    std::vector<SiteReport> reports_; // --check-sites: one a site checked
    QString firstRequest(int32_t site) const;
    // --import-opensearch: a status to exit with.
    int importSite(const QString &where);
    bool readDescription(const QString &where, QByteArray &bytes);
    std::vector<SiteReport> rows_; // the sites of the search, in the order asked
    double started_ = 0;
    QDateTime startedAt_;
    bool interrupted_ = false;
    int signal_ = 0; // the signal that interrupted the run
    bool headerWritten_ = false;
    bool outputLost_ = false; // a write of standard output failed
    bool finished_ = false;
    size_t nextCheckSite_ = 0; // --check-sites: the next site to search
    int32_t totalHits_ = 0;
};
