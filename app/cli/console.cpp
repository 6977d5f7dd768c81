#include "cli/console.h"

#include "common/encoding.h"
#include "common/messagebox.h"
#include "driver/keywords.h"
#include "driver/runrules.h"
#include "driver/runtexts.h"
#include "settings/settings.h"
#include "tessel.h"
#include "topics/topicstore.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <algorithm>

namespace {

const char *const kColumns[] = {"title", "url", "preview", "date", "size", "score", "site"};

// What must not reach a terminal or a line-based reader from a page: the C0 and C1 controls
// and DEL (escape sequences, tabs, line ends, form feeds, backspaces, NEL), the line and
// paragraph separators (readers split lines at them), and the bidirectional embeddings,
// overrides, isolates and marks (they make a terminal show the text in another order).
bool breaksTheLine(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
           (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// The text as one plain line: each of those characters becomes a blank. A TSV cell so keeps
// to its line and its column.
QString plainLine(QString text)
{
    for (QChar &c : text)
        if (breaksTheLine(c.unicode()))
            c = u' ';
    return text;
}

// A spreadsheet reads a cell that starts with one of these as a formula (=HYPERLINK(...),
// +cmd|...); the leading quote makes it show the text instead.
bool readsAsFormula(const QString &text)
{
    return !text.isEmpty() && QStringView(u"=+-@\t\r").contains(text.front());
}

QString csvCell(const QString &text)
{
    const QString cell = readsAsFormula(text) ? u'\'' + text : text;
    if (!cell.contains(u',') && !cell.contains(u'"') && !cell.contains(u'\n') &&
        !cell.contains(u'\r'))
        return cell;
    QString quoted = cell;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QString siteName(int32_t site)
{
    const SiteInfoList &list = siteInfoList();
    return site >= 0 && site < list.count ? plainLine(list.sites[site].name)
                                          : QString::number(site);
}

// A site named on the command line: its name or root as the catalogue has them, or its
// number in --list-sites.
int32_t findSite(const QString &text)
{
    const SiteInfoList &list = siteInfoList();
    for (int32_t i = 0; i < list.count; ++i)
        if (list.sites[i].name == text || list.sites[i].root == text)
            return i;
    bool number = false;
    const int n = text.toInt(&number);
    return number && n >= 1 && n <= list.count ? n - 1 : -1;
}

int32_t findTopic(const QString &text)
{
    const TopicStore &store = topicStore();
    for (int32_t i = 0; i < store.count; ++i)
        if (store.topics[i].name == text)
            return i;
    bool number = false;
    const int n = text.toInt(&number);
    return number && n >= 1 && n <= store.count ? n - 1 : -1;
}

QString bilingual(const SiteResult &result)
{
    return OutcomeText(result, OutcomeLanguage::English) + QStringLiteral(" / ") +
           OutcomeText(result, OutcomeLanguage::Japanese);
}

} // namespace

QString FormatHeader(HitFormat format, bool withState)
{
    if (format != HitFormat::Csv)
        return QString();
    QStringList names;
    for (const char *c : kColumns)
        names << QString::fromLatin1(c);
    if (withState)
        names << QStringLiteral("state");
    return names.join(u',');
}

QString FormatHit(HitFormat format, const QStringList &row, const QString &state)
{
    QStringList cells = row;
    while (cells.size() < int(std::size(kColumns)))
        cells << QString();
    switch (format) {
    case HitFormat::Json: {
        QJsonObject object;
        for (int i = 0; i < int(std::size(kColumns)); ++i)
            object.insert(QString::fromLatin1(kColumns[i]), cells[i]);
        if (!state.isEmpty())
            object.insert(QStringLiteral("state"), state);
        return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
    }
    case HitFormat::Csv: {
        QStringList out;
        for (const QString &c : cells)
            out << csvCell(c);
        if (!state.isEmpty())
            out << csvCell(state);
        return out.join(u',');
    }
    case HitFormat::Tsv:
        break;
    }
    QStringList out;
    for (const QString &c : cells)
        out << plainLine(c);
    if (!state.isEmpty())
        out << state;
    return out.join(u'\t');
}

bool SiteFails(const SiteReport &report)
{
    return report.hits == 0 || report.emptyTitles * 10 > report.hits;
}

QString SiteCheckLine(const QString &name, const SiteReport &report)
{
    return QStringLiteral("%1\t%2\t%3\tHTTP %4\t%5 bytes\t%6 hits\t%7 empty\t%8 s")
        .arg(name, SiteFails(report) ? QStringLiteral("FAIL") : QStringLiteral("ok"),
             bilingual(report.result),
             report.status >= 100 ? QString::number(report.status) : QStringLiteral("-"))
        .arg(report.bytes)
        .arg(report.hits)
        .arg(report.emptyTitles)
        .arg(report.seconds, 0, 'f', 1);
}

ConsoleSearch::ConsoleSearch(QTextStream &out, QTextStream &err, bool errTerminal)
    : out_(out), err_(err), terminal_(errTerminal)
{
}

ConsoleSearch::~ConsoleSearch()
{
    if (runController().view() == this)
        runController().setView(nullptr);
}

int ConsoleSearch::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Searches the sites of a topic (or the sites named) for the keywords and writes the hits "
        "to standard output as they arrive; each site's outcome goes to standard error.\n"
        "Exit status: 0 with hits, 1 with none, 2 on a usage error, 3 when a file or standard "
        "output can't be read or written."));
    const QCommandLineOption topic({QStringLiteral("t"), QStringLiteral("topic")},
                                   QStringLiteral("Search the topic's sites (name or number)."),
                                   QStringLiteral("TOPIC"));
    const QCommandLineOption site(
        {QStringLiteral("s"), QStringLiteral("site")},
        QStringLiteral("Search this site (name, root or number; repeatable)."),
        QStringLiteral("SITE"));
    const QCommandLineOption orMode(QStringLiteral("or"),
                                    QStringLiteral("Find pages with any of the keywords."));
    const QCommandLineOption limit(QStringLiteral("limit"),
                                   QStringLiteral("Hits wanted per site (1-100)."),
                                   QStringLiteral("N"));
    const QCommandLineOption time(QStringLiteral("time"),
                                  QStringLiteral("Time limit in seconds (0: none, up to 3600)."),
                                  QStringLiteral("S"));
    const QCommandLineOption format(QStringLiteral("format"),
                                    QStringLiteral("tsv (default), json (an object a line) or "
                                                   "csv."),
                                    QStringLiteral("FORMAT"));
    const QCommandLineOption check(QStringLiteral("check"),
                                   QStringLiteral("Check every hit's link and add its state."));
    const QCommandLineOption report(QStringLiteral("report"),
                                    QStringLiteral("Also write the hits as an HTML report."),
                                    QStringLiteral("FILE.htm"));
    const QCommandLineOption listSites(QStringLiteral("list-sites"),
                                       QStringLiteral("List the catalogue's sites."));
    const QCommandLineOption listTopics(QStringLiteral("list-topics"),
                                        QStringLiteral("List the topics and their sites."));
    const QCommandLineOption checkSites(
        QStringLiteral("check-sites"),
        QStringLiteral("Search each site (all, or those named) for its test keywords and tell "
                       "which scripts need mending."));
    parser.addOptions({topic, site, orMode, limit, time, format, check, report, listSites,
                       listTopics, checkSites});
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("KEYWORD"), QStringLiteral("Words to search."),
                                 QStringLiteral("KEYWORD..."));

    auto usage = [this](const QString &why) {
        err_ << "velmora-search: " << why << "\n"
             << "Try 'velmora-search --help'.\n";
        err_.flush();
        return int(kExitUsage);
    };
    if (!parser.parse(QStringList{QStringLiteral("velmora-search")} + arguments))
        return usage(parser.errorText());
    if (parser.isSet(help)) {
        out_ << parser.helpText();
        out_.flush();
        return kExitHits;
    }
    if (parser.isSet(version)) {
        out_ << "velmora-search " << VELMORA_VERSION << "\n";
        out_.flush();
        return kExitHits;
    }
    // A relative path means the directory the user started in, which stops being the
    // current one below.
    if (parser.isSet(report)) {
        if (parser.value(report).isEmpty())
            return usage(QStringLiteral("--report needs a file name"));
        report_ = QFileInfo(parser.value(report)).absoluteFilePath();
        // The report writer takes its path as Shift_JIS text, as the window's save does: a
        // name it can't hold would be written under another one.
        if (!fitsCp932(report_))
            return usage(QStringLiteral("the report's path holds characters outside Shift_JIS, "
                                        "which the report writer can't take: %1")
                             .arg(report_));
    }
    if (enterProgramDir_ && !enterProgramDir_()) {
        err_ << "velmora-search: the program directory can't be entered\n";
        err_.flush();
        return kExitBroken;
    }

    // Everything below reads the program directory's files.
    msgbox::setAutoAnswer(true); // a console shows no message boxes
    const int32_t loaded = LoadSite();
    if (loaded < 0) {
        err_ << "velmora-search: LoadSite Error=" << loaded << " (sitelist.dat)\n";
        return kExitBroken;
    }
    LoadSettings();
    LoadSiteInfo();
    LoadTopics();
    writeNotices();

    if (parser.isSet(listSites)) {
        const SiteInfoList &list = siteInfoList();
        for (int32_t i = 0; i < list.count; ++i)
            out_ << (i + 1) << '\t' << plainLine(list.sites[i].name) << '\t'
                 << plainLine(list.sites[i].language) << '\t' << plainLine(list.sites[i].root)
                 << '\n';
        out_.flush();
        return kExitHits;
    }
    if (parser.isSet(listTopics)) {
        const TopicStore &store = topicStore();
        for (int32_t i = 0; i < store.count; ++i) {
            QStringList names;
            for (int32_t k = 0; k < store.topics[i].siteCount; ++k)
                names << siteName(store.topics[i].sites[k]);
            out_ << (i + 1) << '\t' << plainLine(store.topics[i].name) << '\t' << names.join(u',')
                 << '\n';
        }
        out_.flush();
        return kExitHits;
    }

    auto number = [&](const QCommandLineOption &o, SettingRange range, int32_t &into) {
        if (!parser.isSet(o))
            return true;
        bool ok = false;
        const int value = parser.value(o).toInt(&ok);
        if (!ok || value < range.minimum || value > range.maximum)
            return false;
        into = value;
        return true;
    };
    Settings &s = settings();
    if (!number(limit, kLimitLinkRange, s.LimitLink))
        return usage(QStringLiteral("--limit takes a number from %1 to %2")
                         .arg(kLimitLinkRange.minimum)
                         .arg(kLimitLinkRange.maximum));
    if (!number(time, kLimitTimeRange, s.LimitTime))
        return usage(QStringLiteral("--time takes a number of seconds from %1 to %2")
                         .arg(kLimitTimeRange.minimum)
                         .arg(kLimitTimeRange.maximum));
    if (parser.isSet(format)) {
        const QString f = parser.value(format);
        if (f == QLatin1String("tsv"))
            format_ = HitFormat::Tsv;
        else if (f == QLatin1String("json"))
            format_ = HitFormat::Json;
        else if (f == QLatin1String("csv"))
            format_ = HitFormat::Csv;
        else
            return usage(QStringLiteral("--format is tsv, json or csv"));
    }
    // The console decides itself what follows a search; the window's choices don't apply.
    s.SearchMode = parser.isSet(orMode) ? 1 : 0;
    s.AutoCheck = 0;
    s.AutoDelete = 0;
    s.ShowSearching = 0;
    s.ShowChecking = 0;
    check_ = parser.isSet(check);
    checkSites_ = parser.isSet(checkSites);

    const QStringList positional = parser.positionalArguments();
    if (checkSites_) {
        if (parser.isSet(topic) || parser.isSet(site) || check_ || !report_.isEmpty())
            return usage(QStringLiteral("--check-sites takes site names only"));
        for (const QString &name : positional) {
            const int32_t found = findSite(name);
            if (found < 0)
                return usage(QStringLiteral("no site '%1' (see --list-sites)").arg(name));
            sites_.push_back(found);
        }
        if (positional.isEmpty())
            for (int32_t i = 0; i < siteInfoList().count; ++i)
                sites_.push_back(i);
        return -1;
    }

    if (parser.isSet(topic) && parser.isSet(site))
        return usage(QStringLiteral("give a topic or sites, not both"));
    words_ = positional.join(u' ');
    // Blanks alone, of either width, hold no word a site could be asked for: no search would
    // start, and nothing would ever end the wait for it.
    if (KeywordIsBlank(words_))
        return usage(QStringLiteral("no keyword to search"));
    if (parser.isSet(site)) {
        for (const QString &name : parser.values(site)) {
            const int32_t found = findSite(name);
            if (found < 0)
                return usage(QStringLiteral("no site '%1' (see --list-sites)").arg(name));
            if (std::find(sites_.begin(), sites_.end(), found) == sites_.end())
                sites_.push_back(found);
        }
        if (sites_.size() > size_t(kMaxMembers))
            return usage(QStringLiteral("at most %1 sites at once").arg(kMaxMembers));
    } else {
        int32_t t = s.iTopic;
        if (parser.isSet(topic)) {
            t = findTopic(parser.value(topic));
            if (t < 0)
                return usage(
                    QStringLiteral("no topic '%1' (see --list-topics)").arg(parser.value(topic)));
        }
        if (t < 0 || t >= topicStore().count)
            return usage(QStringLiteral("no topic to search (see --list-topics)"));
        const TopicRecord &record = topicStore().topics[t];
        for (int32_t k = 0; k < record.siteCount; ++k)
            sites_.push_back(record.sites[k]);
    }
    return -1;
}

int ConsoleSearch::start(const QStringList &arguments)
{
    const int status = parse(arguments);
    if (status >= 0)
        return settle(status);
    runController().setView(this);
    if (checkSites_) {
        if (terminal_)
            err_ << "site\tverdict\toutcome\tstatus\tbytes\thits\tempty titles\tseconds\n";
        QTimer::singleShot(0, this, &ConsoleSearch::searchNext);
        return -1;
    }
    RunSiteList &run = runSites();
    run.count = 0;
    for (int32_t site : sites_)
        run.sites[run.count++] = site;
    QTimer::singleShot(0, this, [this] {
        if (!interrupted_)
            runController().Do_Search();
        // A search that started nothing tells no end of it.
        if (!runController().busy())
            finish();
    });
    return -1;
}

// --check-sites: one search a site, one after another, each with the site's own test words.
void ConsoleSearch::searchNext()
{
    if (nextCheckSite_ >= sites_.size() || interrupted_) {
        int failing = 0;
        for (const SiteReport &r : reports_)
            failing += SiteFails(r) ? 1 : 0;
        out_ << (int(reports_.size()) - failing) << " sites ok, " << failing << " failing\n";
        Q_EMIT finished(settle(failing > 0 || interrupted_ ? kExitNoHits : kExitHits));
        return;
    }
    const int32_t site = sites_[nextCheckSite_++];
    char test[TESSEL_SITE_TEST_SIZE] = {};
    SiteTest(test, site);
    words_ = fromCp932(test);
    hits_.clear();
    RunSiteList &run = runSites();
    run.sites[0] = site;
    run.count = 1;
    if (KeywordIsBlank(words_)) {
        SiteReport r;
        r.site = site;
        r.result = {SiteOutcome::NotBuilt, TESSEL_E_NO_KEYWORD};
        reports_.push_back(r);
        out_ << SiteCheckLine(siteName(site), r) << "\n";
        out_.flush();
        QTimer::singleShot(0, this, &ConsoleSearch::searchNext);
        return;
    }
    runController().Do_Search();
}

void ConsoleSearch::interrupt()
{
    interrupted_ = true;
    RunController &c = runController();
    if (c.busy() && !c.stopping())
        c.Do_Stop();
}

void ConsoleSearch::progress(const QString &text)
{
    if (!terminal_)
        return;
    err_ << "\r\x1b[K" << plainLine(text);
    err_.flush();
    progressShown_ = true;
}

void ConsoleSearch::endProgress()
{
    if (progressShown_)
        err_ << "\r\x1b[K";
    progressShown_ = false;
}

void ConsoleSearch::statusChanged(const QString &text)
{
    progress(text);
}

void ConsoleSearch::stopNotice(bool shown)
{
    if (shown) {
        endProgress();
        err_ << "Stopping... / " << StoppingText() << "\n";
        err_.flush();
    }
}

void ConsoleSearch::message(const QString &text, const QString &title)
{
    endProgress();
    err_ << (title.isEmpty() ? QString() : title + QStringLiteral(": ")) << text << "\n";
    err_.flush();
}

void ConsoleSearch::searchStarted()
{
    started_ = RunClock();
    const RunController &c = runController();
    slotSites_.assign(size_t(c.SlotCount), -1);
    for (int32_t i = 0; i < c.SlotCount; ++i)
        slotSites_[size_t(i)] = c.FetchRecords[i].site;
}

void ConsoleSearch::hitAdded(const QStringList &row, int32_t index)
{
    hits_.push_back({row, index});
    ++totalHits_;
    if (!check_ && !checkSites_)
        writeHit(hits_.back(), QString());
}

void ConsoleSearch::searchSlotDone(int)
{
    const RunController &c = runController();
    progress(QStringLiteral("%1 sites searching, %2 hits").arg(c.ActiveCount()).arg(c.HitCount));
}

void ConsoleSearch::searchEnded(const QString &)
{
    endProgress();
    // The controller keeps each site's outcome. The stop has emptied SlotCount, so the slots
    // are the ones the search started with.
    const RunController &c = runController();
    std::vector<SiteReport> ended;
    for (size_t i = 0; i < slotSites_.size(); ++i) {
        const FetchRecord &record = c.FetchRecords[i];
        SiteReport r;
        r.site = slotSites_[i];
        r.hits = c.SiteHits[i];
        r.result = c.SlotResult[i];
        // A site whose request was never sent has no page of this search to tell of.
        if (r.result.kind != SiteOutcome::NotBuilt) {
            r.bytes = record.bytes;
            r.status = FetchResult(&record);
        }
        r.seconds = RunClock() - started_;
        ended.push_back(r);
    }
    if (checkSites_) {
        SiteReport r;
        if (!ended.empty())
            r = ended.front();
        else
            r.result = {SiteOutcome::Skipped}; // wide test words on a site that isn't Japanese
        r.site = sites_[nextCheckSite_ - 1];
        for (const Hit &h : hits_)
            r.emptyTitles += h.row.value(0).trimmed().isEmpty() ? 1 : 0;
        reports_.push_back(r);
        out_ << SiteCheckLine(siteName(r.site), r) << "\n";
        out_.flush();
        QTimer::singleShot(0, this, &ConsoleSearch::searchNext);
        return;
    }
    reports_ = std::move(ended);
    if (check_ && !hits_.empty() && !interrupted_) {
        // A view must not start a run from inside a call.
        QTimer::singleShot(0, this, [this] {
            runController().Do_Check();
            if (!runController().busy())
                finish();
        });
        return;
    }
    finish();
}

void ConsoleSearch::checkSlotDone(int, int32_t)
{
    const RunController &c = runController();
    progress(QStringLiteral("%1 links checking").arg(c.CheckLeft()));
}

void ConsoleSearch::checkEnded(const QString &, const QString &)
{
    endProgress();
    finish();
}

QString ConsoleSearch::itemKey(int position) const
{
    return position >= 1 && position <= int(hits_.size())
               ? IndexKey(hits_[size_t(position - 1)].index)
               : QString();
}

void ConsoleSearch::removeItem(int position)
{
    if (position >= 1 && position <= int(hits_.size()))
        hits_.erase(hits_.begin() + (position - 1));
}

void ConsoleSearch::linkChecked(int32_t, int32_t)
{
}

void ConsoleSearch::writeHit(const Hit &hit, const QString &state)
{
    if (outputLost_)
        return;
    if (!headerWritten_) {
        const QString header = FormatHeader(format_, !state.isEmpty());
        if (!header.isEmpty()) {
            endProgress();
            out_ << header << "\n";
        }
        headerWritten_ = true;
    }
    endProgress();
    out_ << FormatHit(format_, hit.row, state) << "\n";
    // Hits nobody receives are not worth searching on for; the run is stopped from the event
    // loop, not from inside the controller's call.
    if (outputFailed())
        QTimer::singleShot(0, this, &ConsoleSearch::interrupt);
}

// The message boxes the shared code asked for (an unreadable STARTUP.DAT or TOPICS.DAT, too
// many topics): a console shows none, so their texts go to standard error.
void ConsoleSearch::writeNotices()
{
    endProgress();
    for (const msgbox::Shown &box : msgbox::shown())
        err_ << "velmora-search: " << box.text << "\n";
    msgbox::clearShown();
    err_.flush();
}

void ConsoleSearch::writeOutcomes()
{
    for (const SiteReport &r : reports_)
        err_ << siteName(r.site) << ": " << bilingual(r.result) << "\n";
    err_ << totalHits_ << " hits\n";
    // Said once for the run; the sites it cut off say it in their own line too.
    if (runController().HitCount >= kMaxListHits)
        err_ << "the hit list is full (" << kMaxListHits
             << " hits): no further hit was taken / 一覧が満杯のため、これ以上取り込んでいません\n";
    if (check_) {
        // A check that ended without a status code (no connection, no descriptor left, the
        // time limit, a stop) leaves its hit "No Check": said here as well, not only per line.
        int unchecked = 0;
        for (const Hit &h : hits_)
            unchecked += runController().LinkState[h.index] == kLinkNoCheck ? 1 : 0;
        if (unchecked > 0)
            err_ << unchecked << " links could not be checked\n";
    }
    err_.flush();
}

bool ConsoleSearch::writeReport()
{
    const QByteArray path = toCp932(report_);
    const QByteArray words = toCp932(words_);
    bool written = HTMLOpen(words.constData(), int32_t(hits_.size()), path.constData()) == 0;
    for (size_t i = 0; written && i < hits_.size(); ++i)
        HTMLSave(int32_t(i), hits_[i].index);
    written = HTMLClose() == 0 && written;
    if (!written) {
        err_ << "velmora-search: the report could not be written to " << report_ << "\n";
        err_.flush();
    }
    return written;
}

// Standard output as a whole, flushed: true once a write failed (a full disk, a file-size
// limit), said once on standard error. Hits that were lost must not end as a success.
bool ConsoleSearch::outputFailed()
{
    out_.flush();
    if (out_.status() != QTextStream::Ok && !outputLost_) {
        outputLost_ = true;
        endProgress();
        err_ << "velmora-search: standard output could not be written";
        if (out_.device())
            err_ << " (" << out_.device()->errorString() << ")";
        err_ << "\n";
        err_.flush();
    }
    return outputLost_;
}

int ConsoleSearch::settle(int status)
{
    return outputFailed() ? int(kExitBroken) : status;
}

void ConsoleSearch::finish()
{
    if (finished_)
        return;
    finished_ = true;
    writeNotices();
    if (check_) {
        const RunController &c = runController();
        for (const Hit &h : hits_)
            writeHit(h, LinkStateText(c.LinkState[h.index]));
    }
    writeOutcomes();
    int status = hits_.empty() ? kExitNoHits : kExitHits;
    if (!report_.isEmpty() && !writeReport())
        status = kExitBroken;
    Q_EMIT finished(settle(status));
}

// Its own meta-object code, so that a program using it alone does not take in every window.
#include "moc_console.cpp"
