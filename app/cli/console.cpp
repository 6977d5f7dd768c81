#include "cli/console.h"

#include "cli/notify.h"
#include "cli/watchcommands.h"
#include "core/atomicfile.h"
#include "core/encoding.h"
#include "core/hitreport.h"
#include "core/keywords.h"
#include "core/merge.h"
#include "core/opensearch.h"
#include "core/runrules.h"
#include "core/runtexts.h"
#include "core/session.h"
#include "core/settings.h"
#include "core/topicstore.h"
#include "tessel.h"

#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

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

// A hit's texts hold no line breaks or controls of their own: in a CSV cell they would only
// reach a terminal the file is shown on.
QString csvCell(const QString &text)
{
    const QString cell = readsAsFormula(text) ? u'\'' + plainLine(text) : plainLine(text);
    if (!cell.contains(u',') && !cell.contains(u'"') && !cell.contains(u'\n') &&
        !cell.contains(u'\r'))
        return cell;
    QString quoted = cell;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

// One JSON object on one line. Its serialiser escapes only what JSON demands; DEL, the C1
// controls, the line separators and the bidi controls are escaped too, so that a terminal or a
// reader splitting at every Unicode line break sees one record a line. The values are the same.
QString jsonLine(const QJsonObject &object)
{
    const QString json = QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
    QString out;
    out.reserve(json.size());
    for (const QChar c : json) {
        if (c.unicode() >= 0x7F && breaksTheLine(c.unicode()))
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

// One record of a listing: its fields' names and values, in order.
using Field = ListedField;
using Record = ListedRecord;

// Where a listed site comes from: the shipped catalogue, the user's own, or the user's own in
// place of a shipped site of the same name.
QString siteOrigin(int32_t site)
{
    switch (SiteOrigin(site)) {
    case TESSEL_SITE_USER:
        return QStringLiteral("user");
    case TESSEL_SITE_REPLACED:
        return QStringLiteral("replaced");
    default:
        return QStringLiteral("shipped");
    }
}

// The catalogue's test words of the site, as typed.
QString testWords(int32_t site)
{
    char test[TESSEL_SITE_TEST_SIZE] = {};
    SiteTest(test, site);
    return fromCp932(test);
}

// A value as a cell of a line: a whole number without a fraction or an exponent, a list as
// its items joined by commas, null as an empty cell.
QString cellText(const QJsonValue &value)
{
    if (value.isDouble()) {
        const double number = value.toDouble();
        return number == std::trunc(number) && std::abs(number) < 1e15
                   ? QString::number(qint64(number))
                   : QString::number(number);
    }
    if (value.isArray()) {
        QStringList items;
        for (const QJsonValue &item : value.toArray())
            items << cellText(item);
        return items.join(u',');
    }
    return value.toString();
}

// The record as one line: a JSON object of its fields, or its cells in TSV or CSV.
QString formatRecord(HitFormat format, const Record &record)
{
    if (format == HitFormat::Json) {
        QJsonObject object;
        for (const Field &f : record)
            object.insert(QString::fromLatin1(f.name), f.value);
        return jsonLine(object);
    }
    QStringList cells;
    for (const Field &f : record)
        cells << (format == HitFormat::Csv ? csvCell(cellText(f.value))
                                           : plainLine(cellText(f.value)));
    return cells.join(format == HitFormat::Csv ? u',' : u'\t');
}

// The head line of records of that shape: their fields' names.
QString recordHead(HitFormat format, const Record &record)
{
    QStringList names;
    for (const Field &f : record)
        names << QString::fromLatin1(f.name);
    return names.join(format == HitFormat::Csv ? u',' : u'\t');
}

// Writes a record of a listing, after the head line a CSV has before its first row.
void writeRecord(QTextStream &out, HitFormat format, bool &headWritten, const Record &record)
{
    if (!headWritten && format == HitFormat::Csv)
        out << recordHead(format, record) << '\n';
    headWritten = true;
    out << formatRecord(format, record) << '\n';
}

QString siteName(const SiteInfoList &list, int32_t site)
{
    return site >= 0 && site < list.count ? plainLine(list.sites[site].name)
                                          : QString::number(site);
}

// What a name of the command line found: an index, or none (-1) and the names it could be.
struct Found {
    int32_t index = -1;
    QStringList candidates;
};

// A site or topic named on the command line. Its exact name (or a site's root) or its number
// in the listing wins; else the one name that is the text, or starts with it, ignoring case.
// Where several are, none is taken: the user is shown them.
Found findNamed(const QString &text, int32_t count, const std::function<QString(int32_t)> &name,
                const std::function<QString(int32_t)> &root = {})
{
    for (int32_t i = 0; i < count; ++i)
        if (name(i) == text || (root && root(i) == text))
            return {i, {}};
    bool number = false;
    const int n = text.toInt(&number);
    if (number)
        return {n >= 1 && n <= count ? n - 1 : -1, {}};
    if (text.isEmpty())
        return {};
    const QString folded = text.toCaseFolded();
    Found whole, start;
    for (int32_t i = 0; i < count; ++i) {
        const QString candidate = name(i).toCaseFolded();
        Found &into = candidate == folded ? whole : start;
        if (candidate.startsWith(folded)) {
            into.index = i;
            into.candidates << plainLine(name(i));
        }
    }
    Found &found = whole.candidates.isEmpty() ? start : whole;
    if (found.candidates.size() != 1)
        found.index = -1;
    return found;
}

Found findSite(const SiteInfoList &list, const QString &text)
{
    return findNamed(
        text, list.count, [&](int32_t i) { return list.sites[i].name; },
        [&](int32_t i) { return list.sites[i].root; });
}

Found findTopic(const TopicStore &store, const QString &text)
{
    return findNamed(text, store.count, [&](int32_t i) { return store.topics[i].name; });
}

// The usage error of a name that found no site or topic (kind), or several.
QString notFound(const QString &text, const Found &found, const char *kind)
{
    if (found.candidates.isEmpty())
        return QStringLiteral("no %1 '%2' (see --list-%1s)").arg(QLatin1String(kind), text);
    return QStringLiteral("'%1' could be any of these %2s:\n  %3")
        .arg(text, QLatin1String(kind), found.candidates.join(QStringLiteral("\n  ")));
}

QString bilingual(const SiteResult &result)
{
    return OutcomeText(result, OutcomeLanguage::English) + QStringLiteral(" / ") +
           OutcomeText(result, OutcomeLanguage::Japanese);
}

} // namespace

QString FormatHeader(HitFormat format, bool withState, bool withSites)
{
    if (format != HitFormat::Csv)
        return QString();
    QStringList names;
    for (const char *c : kColumns)
        names << QString::fromLatin1(c);
    if (withState)
        names << QStringLiteral("state");
    if (withSites)
        names << QStringLiteral("sites");
    return names.join(u',');
}

QString FormatHit(HitFormat format, const QStringList &row, const QString &state,
                  const MergedPage *page)
{
    QStringList cells = row;
    while (cells.size() < int(std::size(kColumns)))
        cells << QString();
    switch (format) {
    case HitFormat::Json: {
        QJsonObject object{{QStringLiteral("type"), QStringLiteral("hit")}};
        for (int i = 0; i < int(std::size(kColumns)); ++i)
            object.insert(QString::fromLatin1(kColumns[i]), cells[i]);
        // The site's own text stays beside the reading of it.
        if (const QString iso = IsoDate(cells[3]); !iso.isEmpty())
            object.insert(QStringLiteral("date_iso"), iso);
        if (!state.isEmpty())
            object.insert(QStringLiteral("state"), state);
        if (page) {
            object.insert(QStringLiteral("sites"), QJsonArray::fromStringList(page->sites));
            object.insert(QStringLiteral("rank"), page->rank);
        }
        return jsonLine(object);
    }
    case HitFormat::Csv:
    case HitFormat::Tsv:
        break;
    }
    // The sites' names are texts of the catalogue and the user's own: a cell like any other.
    QStringList out = cells;
    if (!state.isEmpty())
        out << state;
    if (page)
        out << page->sites.join(QStringLiteral(", "));
    for (QString &c : out)
        c = format == HitFormat::Csv ? csvCell(c) : plainLine(c);
    return out.join(format == HitFormat::Csv ? u',' : u'\t');
}

bool SiteFailed(const SiteResult &result)
{
    return IsFailure(result) && result.kind != SiteOutcome::NoHits;
}

bool SiteFails(const SiteReport &report)
{
    if (report.result.kind == SiteOutcome::Blocked || report.result.kind == SiteOutcome::Empty)
        return false;
    return report.hits == 0 || report.emptyTitles * 10 > report.hits;
}

QString CheckVerdict(const SiteReport &report)
{
    if (report.result.kind == SiteOutcome::Blocked)
        return QStringLiteral("blocked");
    if (report.result.kind == SiteOutcome::Empty)
        return QStringLiteral("empty");
    return SiteFails(report) ? QStringLiteral("fail") : QStringLiteral("ok");
}

QString SiteCheckLine(const QString &name, const SiteReport &report)
{
    const QString verdict = CheckVerdict(report);
    return QStringLiteral("%1\t%2\t%3\tHTTP %4\t%5 bytes\t%6 hits\t%7 empty\t%8 s")
        .arg(name, verdict == QLatin1String("fail") ? QStringLiteral("FAIL") : verdict,
             bilingual(report.result),
             report.status >= 100 ? QString::number(report.status) : QStringLiteral("-"))
        .arg(report.bytes)
        .arg(report.hits)
        .arg(report.emptyTitles)
        .arg(report.seconds, 0, 'f', 1);
}

QString OutcomeName(const SiteResult &result)
{
    switch (result.kind) {
    case SiteOutcome::Found:
        return QStringLiteral("ok");
    case SiteOutcome::NoHits:
        return QStringLiteral("nohits");
    case SiteOutcome::Empty:
        return QStringLiteral("empty");
    case SiteOutcome::Blocked:
        return QStringLiteral("blocked");
    case SiteOutcome::HttpError:
        return QStringLiteral("http");
    case SiteOutcome::NameNotFound:
        return QStringLiteral("dns");
    case SiteOutcome::CannotConnect:
        return QStringLiteral("refused");
    case SiteOutcome::SecureFailed:
        return QStringLiteral("tls");
    case SiteOutcome::TimedOut:
        return QStringLiteral("timeout");
    case SiteOutcome::NoAnswer:
        return QStringLiteral("closed");
    case SiteOutcome::NotBuilt:
        return QStringLiteral("unbuilt");
    case SiteOutcome::Skipped:
        return QStringLiteral("skipped");
    case SiteOutcome::ListFull:
        return QStringLiteral("full");
    case SiteOutcome::Pending: // a site still going when the run ended was cut off
    case SiteOutcome::Stopped:
        break;
    }
    return QStringLiteral("stopped");
}

namespace {

QJsonValue httpStatus(const SiteReport &report)
{
    return report.status >= 100 ? QJsonValue(report.status) : QJsonValue(QJsonValue::Null);
}

double roundedSeconds(const SiteReport &report)
{
    return std::round(report.seconds * 100) / 100;
}

Record siteRecord(const QString &name, const SiteReport &report)
{
    return {{"site", name},
            {"outcome", OutcomeName(report.result)},
            {"http", httpStatus(report)},
            {"hits", report.hits},
            {"seconds", roundedSeconds(report)}};
}

// A site's record of --check-sites, for json and csv.
Record checkRecord(const QString &name, const SiteReport &report)
{
    return {{"site", name},
            {"verdict", CheckVerdict(report)},
            {"outcome", OutcomeName(report.result)},
            {"http", httpStatus(report)},
            {"bytes", report.bytes},
            {"hits", report.hits},
            {"empty_titles", report.emptyTitles},
            {"seconds", roundedSeconds(report)}};
}

} // namespace

QString FormatSite(HitFormat format, const QString &name, const SiteReport &report)
{
    Record record = siteRecord(name, report);
    if (format != HitFormat::Json)
        return formatRecord(HitFormat::Tsv, record);
    record.insert(record.begin(), {"type", QStringLiteral("site")});
    return formatRecord(format, record);
}

QString SiteHeader()
{
    return recordHead(HitFormat::Tsv, siteRecord(QString(), SiteReport()));
}

QString IsoDate(const QString &text)
{
    static const QRegularExpression figures(
        QStringLiteral(R"((?<!\d)(\d{4})\s*[/.\-年]\s*(\d{1,2})\s*[/.\-月]\s*(\d{1,2})(?!\d))"));
    static const QRegularExpression monthFirst(
        QStringLiteral(R"(\b([A-Za-z]{3,9})\.?\s+(\d{1,2}),?\s+(\d{4})\b)"));
    static const QRegularExpression dayFirst(
        QStringLiteral(R"(\b(\d{1,2})\s+([A-Za-z]{3,9})\.?,?\s+(\d{4})\b)"));
    static const QRegularExpression clock(QStringLiteral(R"(^\D{0,8}?(\d{1,2}):(\d{2})(?!\d))"));
    static const char *const months[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                         "jul", "aug", "sep", "oct", "nov", "dec"};
    auto monthOf = [](const QString &name) {
        for (int m = 0; m < 12; ++m)
            if (name.size() >= 3 &&
                QString::fromLatin1(months[m]).startsWith(name.left(3).toLower()))
                return m + 1;
        return 0;
    };
    QDate date;
    qsizetype end = -1;
    if (const auto m = figures.match(text); m.hasMatch()) {
        date = QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
        end = m.capturedEnd();
    } else if (const auto m = monthFirst.match(text); m.hasMatch()) {
        date = QDate(m.captured(3).toInt(), monthOf(m.captured(1)), m.captured(2).toInt());
        end = m.capturedEnd();
    } else if (const auto m = dayFirst.match(text); m.hasMatch()) {
        date = QDate(m.captured(3).toInt(), monthOf(m.captured(2)), m.captured(1).toInt());
        end = m.capturedEnd();
    }
    if (!date.isValid())
        return QString();
    QString iso = date.toString(Qt::ISODate);
    // A time of day right after the date ("2018年11月2日 (金) 10:15") belongs to it.
    if (const auto t = clock.match(text.mid(end)); t.hasMatch()) {
        const QTime time(t.captured(1).toInt(), t.captured(2).toInt());
        if (time.isValid())
            iso += u'T' + time.toString(QStringLiteral("HH:mm"));
    }
    return iso;
}

OutcomeLanguage LanguageOfLocale(const char *lcAll, const char *lcMessages, const char *lang)
{
    for (const char *locale : {lcAll, lcMessages, lang})
        if (locale && *locale)
            return std::strncmp(locale, "ja", 2) == 0 ? OutcomeLanguage::Japanese
                                                      : OutcomeLanguage::English;
    return OutcomeLanguage::English;
}

ConsoleSearch::ConsoleSearch(Session &session, QTextStream &out, QTextStream &err, bool errTerminal,
                             OutcomeLanguage language)
    : session_(session), out_(out), err_(err), terminal_(errTerminal), language_(language)
{
    // A console shows no message boxes: what the stores report goes to standard error.
    connect(&session_, &Session::notice, this,
            [this](const QString &text, const QString &, NoticeLevel) { writeNotice(text); });
    clock_.setInterval(1000);
    connect(&clock_, &QTimer::timeout, this, &ConsoleSearch::progress);
}

// The window asks first; nobody answers a script, so the search goes on and says what the
// Shift_JIS and EUC-JP sites were not sent.
bool ConsoleSearch::goOnWithout(const QStringList &characters)
{
    endProgress();
    err_ << "velmora-search: "
         << text("not sent to Shift_JIS and EUC-JP sites: ",
                 "Shift_JIS・EUC-JPのサイトには送れない文字: ")
         << plainLine(characters.join(u' ')) << "\n";
    err_.flush();
    return true;
}

QString ConsoleSearch::text(const char *english, const char *japanese) const
{
    return QString::fromUtf8(language_ == OutcomeLanguage::Japanese ? japanese : english);
}

ConsoleSearch::~ConsoleSearch()
{
    if (session_.run.view() == this)
        session_.run.setView(nullptr);
}

int ConsoleSearch::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Searches the sites of a topic (or the sites named) for the keywords and writes the hits "
        "to standard output as they arrive; each site's outcome goes to standard error.\n"
        "Exit status: 0 with hits; 1 with none, every site having answered; 2 on a usage "
        "error; 3 when a file or standard output can't be read or written; 4 with no hit and a "
        "site that failed (with --strict: any site that failed); 128 + the signal's number "
        "after SIGINT (130) or SIGTERM (143), the hits found so far written."));
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
    const QCommandLineOption strict(
        QStringLiteral("strict"),
        QStringLiteral("Exit with 4 when any site failed, even with hits from the others."));
    const QCommandLineOption sitesFile(
        QStringLiteral("sites"),
        QStringLiteral("Also write each site's record (site, outcome, http, hits, seconds) to "
                       "FILE, tab-separated, as the site ends."),
        QStringLiteral("FILE"));
    const QCommandLineOption check(QStringLiteral("check"),
                                   QStringLiteral("Check every hit's link and add its state."));
    const QCommandLineOption report(QStringLiteral("report"),
                                    QStringLiteral("Also write the hits as an HTML report to "
                                                   "FILE (\".htm\" added when it has no "
                                                   "extension)."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption merge(
        QStringLiteral("merge"),
        QStringLiteral("Write each page once, however many sites found it: addresses that "
                       "differ only in the scheme, a leading \"www.\", a trailing \"/\" or "
                       "tracking parameters are one page. The pages come at the end, best ranked "
                       "first, with the sites that found them (json: \"sites\" and \"rank\"; "
                       "tsv and csv: the last column)."));
    const QCommandLineOption listSites(QStringLiteral("list-sites"),
                                       QStringLiteral("List the catalogue's sites."));
    const QCommandLineOption listTopics(QStringLiteral("list-topics"),
                                        QStringLiteral("List the topics and their sites."));
    const QCommandLineOption checkSites(
        QStringLiteral("check-sites"),
        QStringLiteral("Search every site (all, or those named) at once for its test keywords, "
                       "within --time, and tell which scripts need mending, which sites are "
                       "blocked and which found nothing; each line names the request sent."));
    const QCommandLineOption importOpenSearch(
        QStringLiteral("import-opensearch"),
        QStringLiteral("Add a site to your own catalogue from an OpenSearch description (a file, "
                       "or an http or https address) whose results come as Atom or RSS."),
        QStringLiteral("FILE|URL"));
    const QCommandLineOption removeSite(
        QStringLiteral("remove-site"),
        QStringLiteral("Remove a site you added from your own catalogue."), QStringLiteral("NAME"));
    const QCommandLineOption userAgent(
        QStringLiteral("user-agent"),
        QStringLiteral("Send TEXT as the User-Agent of every request to the sites and of the "
                       "link checks."),
        QStringLiteral("TEXT"));
    const QCommandLineOption history(
        QStringLiteral("history"),
        QStringLiteral("List the searches run so far, newest first. Every search is kept, with "
                       "the watches, in history.sqlite3 in the user's data folder "
                       "(~/.local/share/velmora; the program directory when portable)."));
    const QCommandLineOption watches(QStringLiteral("watches"),
                                     QStringLiteral("List the watched searches."));
    const QCommandLineOption watch(
        QStringLiteral("watch"),
        QStringLiteral("Run the watched search NAME and write only the hits none of its earlier "
                       "runs had (exit 0 with new hits, 1 without). Given a topic or sites and "
                       "keywords, its first run creates it; alone, it runs the stored one."),
        QStringLiteral("NAME"));
    const QCommandLineOption unwatch(
        QStringLiteral("unwatch"),
        QStringLiteral("Stop watching NAME: the watch is deleted and its timer, if it has one, "
                       "disabled. Its runs stay in the history."),
        QStringLiteral("NAME"));
    const QCommandLineOption storedRun(
        QStringLiteral("run"),
        QStringLiteral("Write the hits of the stored search ID (the run field of --history) as "
                       "they were found, without asking any site."),
        QStringLiteral("ID"));
    parser.addOptions({topic, site, orMode, limit, time, format, strict, sitesFile, check, merge});
    parser.addOptions({report, listSites, listTopics, checkSites, importOpenSearch, removeSite,
                       userAgent, history, watches, watch, unwatch, storedRun});
    // Not the parser's own help option: that one adds --help-all for the toolkit's generic
    // options, which a console program without a display has none of. --help lists them all.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help (every option) and exit."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("KEYWORD"), QStringLiteral("Words to search."),
                                 QStringLiteral("KEYWORD..."));

    auto usage = [this](const QString &why) {
        err_ << "velmora-search: " << why << "\n"
             << "Try 'velmora-search --help'.\n";
        err_.flush();
        return int(kExitUsage);
    };
    auto readFormat = [&] {
        const QString f = parser.value(format);
        if (!parser.isSet(format) || f == QLatin1String("tsv"))
            format_ = HitFormat::Tsv;
        else if (f == QLatin1String("json"))
            format_ = HitFormat::Json;
        else if (f == QLatin1String("csv"))
            format_ = HitFormat::Csv;
        else
            return false;
        return true;
    };
    auto writeListed = [this](const Record &record) {
        writeRecord(out_, format_, headerWritten_, record);
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
    // One action a command line: beside another, one of the two would silently not be done.
    const QCommandLineOption *actions[] = {&listSites, &listTopics, &importOpenSearch, &removeSite,
                                           &history,   &watches,    &storedRun,        &unwatch};
    if (std::count_if(std::begin(actions), std::end(actions),
                      [&](const QCommandLineOption *o) { return parser.isSet(*o); }) > 1)
        return usage(QStringLiteral("--list-sites, --list-topics, --import-opensearch, "
                                    "--remove-site, --history, --watches, --run and --unwatch "
                                    "each stand alone"));
    // --run and --unwatch take nothing else (--run its --format): beside a search one of the
    // two would silently not be done.
    for (const QCommandLineOption *alone : {&storedRun, &unwatch}) {
        const QStringList given = parser.optionNames();
        const qsizetype allowed =
            1 + (alone == &storedRun ? given.count(QStringLiteral("format")) : 0);
        if (parser.isSet(*alone) &&
            (given.size() != allowed || !parser.positionalArguments().isEmpty()))
            return usage(QStringLiteral("--%1 takes %2 and nothing else")
                             .arg(alone->names().first(),
                                  alone == &storedRun ? QStringLiteral("a run's number (see "
                                                                       "--history) and --format")
                                                      : QStringLiteral("a watch's name")));
    }
    // A relative path means the directory the user started in, which stops being the
    // current one below.
    if (parser.isSet(report)) {
        if (parser.value(report).isEmpty())
            return usage(QStringLiteral("--report needs a file name"));
        // The name as given; one without an extension gets the report's own.
        const QString given = parser.value(report);
        report_ = QFileInfo(given).absoluteFilePath();
        if (!given.endsWith(u'/') && QFileInfo(report_).fileName().lastIndexOf(u'.') <= 0)
            report_ += QStringLiteral(".htm");
        // The report writer takes its path as Shift_JIS text, as the window's save does: a
        // name it can't hold would be written under another one.
        if (!fitsCp932(report_))
            return usage(QStringLiteral("the report's path holds characters outside Shift_JIS, "
                                        "which the report writer can't take: %1")
                             .arg(report_));
        if (!reserveReport(given))
            return kExitBroken;
    }
    if (parser.isSet(sitesFile)) {
        if (parser.value(sitesFile).isEmpty())
            return usage(QStringLiteral("--sites needs a file name"));
        sitesFile_.setFileName(QFileInfo(parser.value(sitesFile)).absoluteFilePath());
    }
    if (enterProgramDir_ && !enterProgramDir_()) {
        err_ << "velmora-search: the program directory can't be entered\n";
        err_.flush();
        return kExitBroken;
    }

    // Everything below reads the program directory's files, and the user's own sites.
    session_.useUserFiles();
    const int32_t loaded = LoadSite();
    if (loaded < 0) {
        err_ << "velmora-search: LoadSite Error=" << loaded << " (sitelist.dat)\n";
        return kExitBroken;
    }
    LoadSettings(session_);
    LoadSiteInfo(session_);
    LoadTopics(session_);

    if (!readFormat())
        return usage(QStringLiteral("--format is tsv, json or csv"));
    if (parser.isSet(importOpenSearch))
        return importSite(parser.value(importOpenSearch));
    if (parser.isSet(removeSite)) {
        const int32_t removed = UserSiteRemove(toCp932(parser.value(removeSite)).constData());
        if (removed == TESSEL_E_NO_SITE)
            return usage(QStringLiteral("no site '%1' of your own (see --list-sites)")
                             .arg(parser.value(removeSite)));
        if (removed != 0) {
            err_ << "velmora-search: your catalogue could not be changed (" << removed << ")\n";
            return kExitBroken;
        }
        return kExitHits;
    }
    if (parser.isSet(listSites)) {
        const SiteInfoList &list = session_.sites;
        for (int32_t i = 0; i < list.count; ++i)
            writeListed({{"number", i + 1},
                         {"name", list.sites[i].name},
                         {"language", list.sites[i].language},
                         {"root", list.sites[i].root},
                         {"origin", siteOrigin(i)}});
        out_.flush();
        return kExitHits;
    }
    if (parser.isSet(listTopics)) {
        const TopicStore &store = session_.topics;
        for (int32_t i = 0; i < store.count; ++i) {
            QJsonArray names;
            for (int32_t k = 0; k < store.topics[i].siteCount; ++k)
                names << siteName(session_.sites, store.topics[i].sites[k]);
            writeListed({{"number", i + 1}, {"name", store.topics[i].name}, {"sites", names}});
        }
        out_.flush();
        return kExitHits;
    }
    history_ = std::make_unique<ConsoleHistory>();
    history_->tell = [this](const QString &notice) { writeNotice(notice); };
    if (parser.isSet(history) || parser.isSet(watches)) {
        // A list takes only --format: anything else would be asked for and silently not done.
        if (!parser.positionalArguments().isEmpty() || parser.isSet(watch) ||
            (parser.isSet(history) && parser.isSet(watches)))
            return usage(QStringLiteral("--history and --watches take only --format"));
        const auto records = parser.isSet(history) ? history_->runs() : history_->watches();
        if (!records) {
            writeNotice(history_->notice());
            return kExitBroken;
        }
        for (const Record &record : *records)
            writeListed(record);
        out_.flush();
        return kExitHits;
    }

    if (parser.isSet(storedRun)) {
        bool number = false;
        const qint64 id = parser.value(storedRun).toLongLong(&number);
        if (!number || id <= 0)
            return usage(QStringLiteral("--run takes a run's number (see --history)"));
        const auto run = history_->load(id);
        if (!run) {
            writeNotice(history_->notice());
            return history_->failed() ? int(kExitBroken) : int(kExitUsage);
        }
        writeStoredHits(run->hits);
        out_.flush();
        return settle(run->hits.empty() ? kExitNoHits : kExitHits);
    }
    if (parser.isSet(unwatch)) {
        if (!history_->remove(parser.value(unwatch))) {
            writeNotice(history_->notice());
            return history_->failed() ? int(kExitBroken) : int(kExitUsage);
        }
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
    Settings &s = session_.settings;
    if (!number(limit, kLimitLinkRange, s.LimitLink))
        return usage(QStringLiteral("--limit takes a number from %1 to %2")
                         .arg(kLimitLinkRange.minimum)
                         .arg(kLimitLinkRange.maximum));
    if (!number(time, kLimitTimeRange, s.LimitTime))
        return usage(QStringLiteral("--time takes a number of seconds from %1 to %2")
                         .arg(kLimitTimeRange.minimum)
                         .arg(kLimitTimeRange.maximum));
    // Left alone without the option: the library's default, or what the settings chose.
    if (parser.isSet(userAgent) && SetUserAgent(parser.value(userAgent).toUtf8().constData()) != 0)
        return usage(QStringLiteral("--user-agent takes one line of at most 255 bytes"));
    // The console decides itself what follows a search; the window's choices don't apply.
    s.SearchMode = parser.isSet(orMode) ? 1 : 0;
    s.AutoCheck = 0;
    s.AutoDelete = 0;
    s.ShowSearching = 0;
    s.ShowChecking = 0;
    check_ = parser.isSet(check);
    strict_ = parser.isSet(strict);
    checkSites_ = parser.isSet(checkSites);
    merge_ = parser.isSet(merge);
    merged_.setMerging(merge_);

    QStringList positional = parser.positionalArguments();
    QString topicGiven = parser.value(topic);
    QStringList sitesGiven = parser.values(site);
    const QString watchName = parser.value(watch);
    if (parser.isSet(watch) && (checkSites_ || watchName.trimmed().isEmpty()))
        return usage(QStringLiteral("--watch takes a name, and no --check-sites"));
    if (parser.isSet(watch) && !WatchNameProblem(watchName).isEmpty())
        return usage(WatchNameProblem(watchName));
    // Alone, --watch runs what the stored watch searches.
    if (parser.isSet(watch) && positional.isEmpty() && topicGiven.isEmpty() &&
        sitesGiven.isEmpty()) {
        const auto stored = history_->stored(watchName);
        if (!stored && history_->failed())
            writeNotice(history_->notice());
        if (!stored)
            return history_->failed() ? int(kExitBroken) : usage(history_->notice());
        topicGiven = stored->topic;
        sitesGiven = stored->sites;
        positional = {stored->keywords};
        s.SearchMode = stored->orMode ? 1 : 0;
        if (stored->hitLimit > 0 && !parser.isSet(limit))
            s.LimitLink = stored->hitLimit;
    }
    if (checkSites_) {
        if (parser.isSet(topic) || parser.isSet(site) || check_ || strict_ || merge_ ||
            !report_.isEmpty() || !sitesFile_.fileName().isEmpty())
            return usage(QStringLiteral("--check-sites takes site names only"));
        for (const QString &name : positional) {
            const Found found = findSite(session_.sites, name);
            if (found.index < 0)
                return usage(notFound(name, found, "site"));
            sites_.push_back(found.index);
        }
        if (positional.isEmpty())
            for (int32_t i = 0; i < session_.sites.count; ++i)
                sites_.push_back(i);
        return -1;
    }

    if (!topicGiven.isEmpty() && !sitesGiven.isEmpty())
        return usage(QStringLiteral("give a topic or sites, not both"));
    words_ = positional.join(u' ');
    // Blanks alone, of either width, hold no word a site could be asked for: no search would
    // start, and nothing would ever end the wait for it.
    if (KeywordIsBlank(words_))
        return usage(QStringLiteral("no keyword to search"));
    if (!sitesGiven.isEmpty()) {
        for (const QString &name : sitesGiven) {
            const Found found = findSite(session_.sites, name);
            if (found.index < 0)
                return usage(notFound(name, found, "site"));
            if (std::find(sites_.begin(), sites_.end(), found.index) == sites_.end())
                sites_.push_back(found.index);
        }
        if (sites_.size() > size_t(kMaxMembers))
            return usage(QStringLiteral("at most %1 sites at once").arg(kMaxMembers));
    } else {
        int32_t t = s.iTopic;
        if (!topicGiven.isEmpty()) {
            const Found found = findTopic(session_.topics, topicGiven);
            if (found.index < 0)
                return usage(notFound(topicGiven, found, "topic"));
            t = found.index;
        }
        if (t < 0 || t >= session_.topics.count)
            return usage(QStringLiteral("no topic to search (see --list-topics)"));
        const TopicRecord &record = session_.topics.topics[t];
        topicName_ = record.name;
        for (int32_t k = 0; k < record.siteCount; ++k)
            sites_.push_back(record.sites[k]);
    }
    if (parser.isSet(watch)) {
        HistoryWatch terms;
        terms.name = watchName;
        terms.topic = topicName_;
        if (topicName_.isEmpty())
            for (int32_t i : sites_)
                terms.sites << siteName(session_.sites, i);
        terms.keywords = words_;
        terms.orMode = s.SearchMode == 1;
        terms.hitLimit = parser.isSet(limit) ? s.LimitLink : 0;
        const auto id = history_->define(terms);
        if (!id && history_->failed())
            writeNotice(history_->notice());
        if (!id)
            return history_->failed() ? int(kExitBroken) : usage(history_->notice());
        watch_ = *id;
        watchName_ = watchName;
    }
    return -1;
}

// The description's bytes from a file, or through the library from an address.
bool ConsoleSearch::readDescription(const QString &where, QByteArray &bytes)
{
    QString detail;
    switch (ReadDescription(
        where, bytes, [] { QThread::msleep(10); }, &detail)) {
    case DescriptionFault::None:
        return true;
    case DescriptionFault::Unreadable:
        err_ << "velmora-search: " << where << " can't be read\n";
        break;
    case DescriptionFault::NoPlace:
        err_ << "velmora-search: no place for the description: " << detail << "\n";
        break;
    case DescriptionFault::NotFetched:
        err_ << "velmora-search: " << where << " could not be fetched\n";
        break;
    }
    return false;
}

int ConsoleSearch::importSite(const QString &where)
{
    QByteArray bytes;
    if (!readDescription(where, bytes)) {
        err_.flush();
        return kExitBroken;
    }
    const SiteDraft draft = DraftSite(bytes);
    const int32_t made = draft.made;
    QString why;
    switch (made) {
    case TESSEL_E_OPENSEARCH_UNREADABLE:
        why = QStringLiteral("not an OpenSearch description with a ShortName");
        break;
    case TESSEL_E_OPENSEARCH_HTML_ONLY:
        why = QStringLiteral("the site gives its results as HTML pages only; a site is added only "
                             "when it offers them as Atom or RSS");
        break;
    case TESSEL_E_OPENSEARCH_UNUSABLE:
        why = QStringLiteral("its Atom or RSS address can't be used (no {searchTerms}, not http or "
                             "https, a parameter that can't be filled, or an encoding other "
                             "than UTF-8 and Shift_JIS)");
        break;
    case TESSEL_E_OPENSEARCH_TOO_LONG:
        why = QStringLiteral("its request is too long");
        break;
    default:
        break;
    }
    if (made < 0) {
        err_ << "velmora-search: " << where << ": " << (why.isEmpty() ? QString::number(made) : why)
             << "\n";
        err_.flush();
        return kExitUsage;
    }
    // A site of your own is replaced by its newer description; a shipped one is not taken
    // over without a word.
    for (int32_t i = 0; i < session_.sites.count; ++i)
        if (siteName(session_.sites, i) == draft.name() && SiteOrigin(i) != TESSEL_SITE_USER) {
            err_ << "velmora-search: " << where << ": the catalogue has a site named '"
                 << draft.name() << "' already\n";
            err_.flush();
            return kExitUsage;
        }
    const int32_t added = UserSiteAdd(draft.entry.data());
    if (added != 0) {
        err_ << "velmora-search: your catalogue could not be changed (" << added << ")\n";
        err_.flush();
        return kExitBroken;
    }
    out_ << "added: " << draft.name() << "\n";
    out_.flush();
    return kExitHits;
}

int ConsoleSearch::start(const QStringList &arguments)
{
    const int status = parse(arguments);
    if (status >= 0)
        return settle(status);
    if (!sitesFile_.fileName().isEmpty()) {
        if (!sitesFile_.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            err_ << "velmora-search: " << sitesFile_.fileName()
                 << " can't be written: " << sitesFile_.errorString() << "\n";
            err_.flush();
            return settle(kExitBroken);
        }
        sitesFile_.write((SiteHeader() + u'\n').toUtf8());
    }
    session_.run.setView(this);
    startedAt_ = QDateTime::currentDateTime();
    if (checkSites_) {
        // A catalogue that read as no site at all is not a catalogue whose sites all pass.
        if (session_.sites.count <= 0) {
            err_ << "velmora-search: the catalogue holds no site (sitelist.dat)\n";
            err_.flush();
            return settle(kExitBroken);
        }
        if (terminal_)
            err_ << "site\tverdict\toutcome\tstatus\tbytes\thits\tempty titles\tseconds\t"
                    "request\n";
        session_.run.setSiteWords([](int32_t site) { return testWords(site); });
        QTimer::singleShot(0, this, &ConsoleSearch::searchNext);
        return -1;
    }
    RunSiteList &run = session_.runSites;
    run.count = 0;
    for (int32_t site : sites_)
        run.sites[run.count++] = site;
    QTimer::singleShot(0, this, [this] {
        if (!interrupted_)
            session_.run.Do_Search();
        // A search that started nothing tells no end of it.
        if (!session_.run.busy())
            finish();
    });
    return -1;
}

// --check-sites: the sites searched at once as a search asks them (as many as a search has
// slots; a larger catalogue in turns), each with its own test words, all within --time.
void ConsoleSearch::searchNext()
{
    if (nextCheckSite_ >= sites_.size() || interrupted_) {
        finished_ = true;
        clock_.stop();
        endProgress();
        int failing = 0, blocked = 0, empty = 0;
        for (const SiteReport &r : reports_) {
            failing += SiteFails(r) ? 1 : 0;
            blocked += r.result.kind == SiteOutcome::Blocked;
            empty += r.result.kind == SiteOutcome::Empty;
        }
        // With json or csv standard output holds the records alone. Blocked and empty sites
        // are neither: their scripts could not be judged.
        QTextStream &summary = format_ == HitFormat::Tsv ? out_ : err_;
        summary << (int(reports_.size()) - failing - blocked - empty) << " sites ok, " << failing
                << " failing";
        if (blocked > 0)
            summary << ", " << blocked << " blocked";
        if (empty > 0)
            summary << ", " << empty << " empty";
        summary << "\n";
        Q_EMIT finished(settle(signal_ > 0                   ? kExitSignalBase + signal_
                               : failing > 0 || interrupted_ ? kExitNoHits
                                                             : kExitHits));
        return;
    }
    hits_.clear();
    RunSiteList &run = session_.runSites;
    run.count = 0;
    while (nextCheckSite_ < sites_.size() && run.count < TESSEL_PAGE_SLOTS)
        run.sites[run.count++] = sites_[nextCheckSite_++];
    session_.run.Do_Search();
    if (!session_.run.busy())
        QTimer::singleShot(0, this, &ConsoleSearch::searchNext);
}

// A checked site's line, with the request its test words make (what mending a script starts
// from).
void ConsoleSearch::writeCheckedSite(const SiteReport &report)
{
    reports_.push_back(report);
    const QString request = firstRequest(report.site);
    if (format_ == HitFormat::Tsv) {
        out_ << SiteCheckLine(siteName(session_.sites, report.site), report) << "\t"
             << plainLine(request) << "\n";
    } else {
        Record record = checkRecord(siteName(session_.sites, report.site), report);
        record.push_back({"request", QJsonValue(request)});
        writeRecord(out_, format_, headerWritten_, record);
    }
    out_.flush();
}

QString ConsoleSearch::firstRequest(int32_t site) const
{
    char request[TESSEL_REQUEST_SIZE] = {};
    const QString words = testWords(site);
    const QByteArray bytes = KeywordBytes(words, MemoTakesUtf8(session_.sites.sites[site].memo));
    if (iForm(site, session_.settings.SearchMode, 0, bytes.constData(), request) != 0)
        return QString();
    return fromCp932(request);
}

void ConsoleSearch::interrupt(int signal)
{
    interrupted_ = true;
    if (signal > 0)
        signal_ = signal;
    RunController &c = session_.run;
    if (c.busy() && !c.stopping())
        c.Do_Stop();
}

// The one line of progress on a terminal, redrawn in place. Whatever else goes to the
// terminal (a hit on standard output, a notice) clears it first, or the two would share a line.
void ConsoleSearch::progress()
{
    if (!terminal_ || finished_ || started_ == 0)
        return;
    const RunController &c = session_.run;
    const int seconds = int(RunClock() - started_);
    QString line;
    if (c.RunState == kRunCheck)
        line = language_ == OutcomeLanguage::Japanese
                   ? ElapsedText(CheckActiveText(c.ActiveCount()), seconds)
                   : QStringLiteral("%1 links checking (%2 s)").arg(c.ActiveCount()).arg(seconds);
    else
        line = language_ == OutcomeLanguage::Japanese
                   ? ElapsedText(SearchActiveText(c.ActiveCount()) + RunningHitsSuffix(c.HitCount),
                                 seconds)
                   : QStringLiteral("%1 sites searching, %2 hits (%3 s)")
                         .arg(c.ActiveCount())
                         .arg(c.HitCount)
                         .arg(seconds);
    err_ << "\r\x1b[K" << plainLine(line);
    err_.flush();
    progressShown_ = true;
}

// Flushed at once: standard output is another stream, and a hit written there must not reach
// the terminal before the line is cleared.
void ConsoleSearch::endProgress()
{
    if (progressShown_) {
        err_ << "\r\x1b[K";
        err_.flush();
    }
    progressShown_ = false;
}

void ConsoleSearch::statusChanged(const QString &)
{
    progress();
}

void ConsoleSearch::stopNotice(bool shown)
{
    if (shown) {
        endProgress();
        err_ << text("Stopping...", "中止の準備中です。しばらくお待ちください。") << "\n";
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
    if (terminal_)
        clock_.start();
    const RunController &c = session_.run;
    // A row per site asked for, in RunSites order; the search passed over those without a
    // slot (keywords their encoding can't carry, a pause after a block).
    rows_.clear();
    const RunSiteList &run = session_.runSites;
    for (int32_t k = 0; k < run.count; ++k) {
        SiteReport r;
        r.site = run.sites[k];
        r.result = c.RowResult(k);
        rows_.push_back(r);
    }
    for (int32_t n = 0; n < c.SlotCount; ++n) {
        const size_t k = size_t(c.SlotRow[n]);
        if (k < rows_.size()) {
            rows_[k].slot = n;
            rows_[k].site = c.FetchRecords[n].site;
            rows_[k].result = c.SlotResult[n];
        }
    }
    writeEndedSites(false);
}

bool ConsoleSearch::hitAdded(const Hit &hit)
{
    ++totalHits_;
    if (merge_) {
        // A page's line waits for the end: a later hit of it adds a site and moves its rank.
        const int pages = merged_.rowCount();
        merged_.append(hit);
        if (merged_.rowCount() == pages)
            return false;
    }
    hits_.push_back({{hit.title, hit.url, hit.preview, hit.date, hit.size, hit.score, hit.site},
                     hit.index,
                     false,
                     {}});
    if (!check_ && !checkSites_ && watch_ == 0 && !merge_)
        writeHit(hits_.back(), QString());
    return true;
}

// The pages as merged: the best texts of each, its sites and rank, the best ranked first (in
// the order found on a tie).
void ConsoleSearch::takeMergedPages()
{
    for (Listed &h : hits_) {
        const int row = merged_.rowOfIndex(h.index);
        if (row < 0)
            continue;
        const Hit &page = merged_.hit(row);
        h.row = {page.title, page.url, page.preview, page.date, page.size, page.score, page.site};
        h.page = {page.sites, page.rank};
    }
    std::stable_sort(hits_.begin(), hits_.end(),
                     [](const Listed &a, const Listed &b) { return a.page.rank > b.page.rank; });
}

void ConsoleSearch::searchSlotDone(int)
{
    progress();
    writeEndedSites(false);
}

// The record of each site whose part has ended, once; all: the search is over, and every
// site has ended.
void ConsoleSearch::writeEndedSites(bool all)
{
    const RunController &c = session_.run;
    for (SiteReport &r : rows_) {
        if (r.written)
            continue;
        if (r.slot >= 0) {
            r.result = c.SlotResult[r.slot];
            if (r.result.kind == SiteOutcome::Pending && !all)
                continue;
            const FetchRecord &record = c.FetchRecords[r.slot];
            r.hits = c.SiteHits[r.slot];
            // A site whose request was never sent has no page of this search to tell of.
            if (r.result.kind != SiteOutcome::NotBuilt) {
                r.bytes = record.bytes;
                r.status = FetchResult(&record);
            }
            r.seconds = RunClock() - started_;
        }
        r.written = true;
        if (checkSites_)
            continue;
        if (format_ == HitFormat::Json && !outputLost_) {
            endProgress();
            out_ << FormatSite(format_, siteName(session_.sites, r.site), r) << "\n";
            outputFailed();
        }
        if (sitesFile_.isOpen())
            sitesFile_.write(
                (FormatSite(HitFormat::Tsv, siteName(session_.sites, r.site), r) + u'\n').toUtf8());
    }
    if (sitesFile_.isOpen())
        sitesFile_.flush();
}

void ConsoleSearch::searchEnded(const QString &)
{
    endProgress();
    // The stop has emptied SlotCount: the rows keep the slots the search started with.
    writeEndedSites(true);
    if (checkSites_) {
        for (SiteReport r : rows_) {
            const QString name = session_.sites.sites[r.site].name;
            for (const Listed &h : hits_)
                r.emptyTitles += h.row.value(6) == name && h.row.value(0).trimmed().isEmpty();
            writeCheckedSite(r);
        }
        QTimer::singleShot(0, this, &ConsoleSearch::searchNext);
        return;
    }
    // The time limit bounds the search and the check together: the check gets what is left,
    // and hits it has no second left for are written unchecked.
    Settings &s = session_.settings;
    const double left = s.LimitTime - (RunClock() - started_);
    if (s.LimitTime > 0)
        s.CheckWait = std::clamp(int32_t(left), kCheckWaitRange.minimum, s.CheckWait);
    if (check_ && !hits_.empty() && !interrupted_ && (s.LimitTime == 0 || left >= 1)) {
        // A view must not start a run from inside a call.
        QTimer::singleShot(0, this, [this] {
            session_.run.Do_Check();
            if (!session_.run.busy())
                finish();
        });
        return;
    }
    finish();
}

// Each hit is written as its check ends, in the order the checks end.
void ConsoleSearch::checkSlotDone(int slot, int32_t)
{
    const RunController &c = session_.run;
    const int32_t index = c.FetchRecords[slot].slot;
    for (Listed &h : hits_)
        if (h.index == index && !h.written && watch_ == 0 && !merge_) {
            h.written = true;
            writeHit(h, LinkStateText(c.LinkState[index]));
            break;
        }
    progress();
}

void ConsoleSearch::checkEnded(const QString &, const QString &)
{
    endProgress();
    finish();
}

QList<int32_t>
ConsoleSearch::removeDeadAndRepeated(const std::function<bool(int32_t, int32_t)> &same)
{
    QList<int32_t> kept;
    std::erase_if(hits_, [&](const Listed &h) {
        const bool dead = session_.run.LinkState[h.index] == kLinkNotFound;
        const bool repeated =
            std::any_of(kept.cbegin(), kept.cend(), [&](int32_t k) { return same(k, h.index); });
        if (!dead && !repeated)
            kept.append(h.index);
        return dead || repeated;
    });
    return kept;
}

void ConsoleSearch::removeHit(int32_t index)
{
    std::erase_if(hits_, [index](const Listed &h) { return h.index == index; });
}

void ConsoleSearch::linkChecked(int32_t, int32_t)
{
}

void ConsoleSearch::writeStoredHits(const std::vector<HistoryHit> &hits)
{
    // The state column is there when the run's links were checked, as after --check.
    const bool checked =
        std::any_of(hits.begin(), hits.end(), [](const HistoryHit &h) { return h.linkState > 0; });
    const QString header = FormatHeader(format_, checked);
    if (!header.isEmpty())
        out_ << header << "\n";
    for (const HistoryHit &h : hits) {
        const QStringList row{h.title, h.url, h.preview, h.date, h.size, h.score, h.site};
        const QString state =
            checked ? LinkStateText(h.linkState > 0 ? h.linkState : kLinkNoCheck) : QString();
        out_ << FormatHit(format_, row, state) << "\n";
        if (outputFailed())
            return;
    }
}

void ConsoleSearch::writeHit(const Listed &hit, const QString &state)
{
    if (outputLost_)
        return;
    if (!headerWritten_) {
        const QString header = FormatHeader(format_, !state.isEmpty(), merge_);
        if (!header.isEmpty()) {
            endProgress();
            out_ << header << "\n";
        }
        headerWritten_ = true;
    }
    endProgress();
    out_ << FormatHit(format_, hit.row, state, merge_ ? &hit.page : nullptr) << "\n";
    // Hits nobody receives are not worth searching on for; the run is stopped from the event
    // loop, not from inside the controller's call.
    if (outputFailed())
        QTimer::singleShot(0, this, [this] { interrupt(); });
}

// A notice of the session's stores (an unreadable STARTUP.DAT or TOPICS.DAT, too many
// topics): the window shows it in a message box, the console on standard error.
void ConsoleSearch::writeNotice(const QString &text)
{
    endProgress();
    err_ << "velmora-search: " << text << "\n";
    err_.flush();
}

void ConsoleSearch::writeOutcomes()
{
    for (const SiteReport &r : rows_)
        err_ << siteName(session_.sites, r.site) << ": " << OutcomeText(r.result, language_)
             << "\n";
    err_ << (language_ == OutcomeLanguage::Japanese ? QStringLiteral("%1件")
                                                    : QStringLiteral("%1 hits"))
                .arg(totalHits_)
         << "\n";
    // Said once for the run; the sites it cut off say it in their own line too.
    if (session_.run.HitCount >= kMaxListHits)
        err_ << text("the hit list is full: no further hit was taken",
                     "一覧が満杯のため、これ以上取り込んでいません")
             << " (" << kMaxListHits << ")\n";
    if (check_) {
        // A check that ended without a status code (no connection, no descriptor left, the
        // time limit, a stop) leaves its hit "No Check": said here as well, not only per line.
        int unchecked = 0;
        for (const Listed &h : hits_)
            unchecked += session_.run.LinkState[h.index] == kLinkNoCheck ? 1 : 0;
        if (unchecked > 0)
            err_ << (language_ == OutcomeLanguage::Japanese
                         ? QStringLiteral("%1件のリンクを確認できませんでした")
                         : QStringLiteral("%1 links could not be checked"))
                        .arg(unchecked)
                 << "\n";
    }
    err_.flush();
}

// A search must not run for minutes only to find that its report has no place: a directory
// named as the report, or a folder the user can't write in, is refused before it starts. The
// file made here is the report's place in its folder, kept until the report is written.
bool ConsoleSearch::reserveReport(const QString &given)
{
    QString why;
    if (given.endsWith(u'/') || QFileInfo(given).isDir() || QFileInfo(report_).isDir()) {
        why = QStringLiteral("%1 is a directory").arg(given);
    } else {
        reportSpot_ = std::make_unique<QTemporaryFile>(QFileInfo(report_).absolutePath() +
                                                       QStringLiteral("/.velmora-report-XXXXXX"));
        if (reportSpot_->open())
            return true;
        why = QStringLiteral("%1 can't be written: %2").arg(report_, reportSpot_->errorString());
    }
    err_ << "velmora-search: --report: " << why << "\n";
    err_.flush();
    return false;
}

// The report writer gives every report the extension ".htm": it writes beside the reserved
// file under that extension, and the report is then renamed to the name the user gave, over
// an old file of that name. The file so appears whole or not at all.
bool ConsoleSearch::writeReport()
{
    const QString htm = reportSpot_->fileName() + QStringLiteral(".htm");
    QList<int32_t> indexes;
    for (const Listed &h : hits_)
        indexes.append(h.index);
    bool written = WriteHitReport(words_, indexes, htm);
    if (written && std::rename(QFile::encodeName(htm).constData(),
                               QFile::encodeName(report_).constData()) != 0) {
        QFile::remove(htm);
        written = false;
    }
    reportSpot_.reset();
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

// Every search is kept in the history. The history failing never fails a plain search: it is
// told on standard error. nullopt when the run could not be stored.
std::optional<HistoryStored> ConsoleSearch::storeRun()
{
    HistoryRun run;
    run.time = startedAt_;
    run.topic = topicName_;
    for (const SiteReport &r : rows_) {
        run.sites << siteName(session_.sites, r.site);
        run.outcomes.push_back(
            HistoryOutcomeOf(run.sites.back(), r.result, OutcomeLanguage::Japanese));
    }
    run.keywords = words_;
    run.orMode = session_.settings.SearchMode == 1;
    run.watch = watch_;
    for (size_t i = 0; i < hits_.size(); ++i)
        run.hits.push_back(HistoryHitOf(hits_[i].row, int(i + 1),
                                        check_ ? session_.run.LinkState[hits_[i].index] : 0));
    const auto stored = history_ ? history_->store(run) : std::nullopt;
    if (history_ && !history_->notice().isEmpty())
        writeNotice(history_->notice());
    return stored;
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
    clock_.stop();
    if (merge_)
        takeMergedPages();
    const auto stored = storeRun();
    const std::vector<int> *fresh = stored ? &stored->fresh : nullptr;
    const RunController &c = session_.run;
    if (watch_ != 0 && fresh) {
        QStringList keys;
        for (int i : *fresh) {
            const Listed &hit = hits_[size_t(i)];
            writeHit(hit, check_ ? LinkStateText(c.LinkState[hit.index]) : QString());
            keys << MergeKey(hit.row.value(1));
        }
        // Stored as seen before they were written, so that two runs at once tell each hit once;
        // hits that went nowhere (a full disk, a closed pipe) are new again next time.
        const bool lost = outputFailed();
        if (lost && !keys.isEmpty() && !history_->forget(watch_, keys))
            writeNotice(history_->notice());
        err_ << text("%1 new", "新着%1件").arg(fresh->size()) << "\n";
        if (!fresh->empty() && !lost) {
            Announcement news{watchName_, stored->run, {}, qsizetype(fresh->size())};
            for (int i : *fresh)
                news.titles << hits_[size_t(i)].row.value(0);
            StartAnnouncement(QCoreApplication::applicationFilePath(), news);
        }
    } else if (check_ || merge_) {
        for (Listed &h : hits_)
            if (!h.written) {
                h.written = true;
                writeHit(h, check_ ? LinkStateText(c.LinkState[h.index]) : QString());
            }
    }
    writeOutcomes();
    const bool failed = std::any_of(rows_.begin(), rows_.end(),
                                    [](const SiteReport &r) { return SiteFailed(r.result); });
    // A watch's run counts the hits new to it.
    const bool none = watch_ != 0 ? !fresh || fresh->empty() : hits_.empty();
    int status = (failed && (none || strict_)) ? kExitSitesFailed : none ? kExitNoHits : kExitHits;
    // Without the history a watch can't tell what is new: that is no "nothing new".
    if (watch_ != 0 && !fresh)
        status = kExitBroken;
    if (signal_ > 0)
        status = kExitSignalBase + signal_;
    if (!report_.isEmpty() && !writeReport())
        status = kExitBroken;
    if (sitesFile_.isOpen() &&
        (sitesFile_.error() != QFileDevice::NoError || !sitesFile_.flush())) {
        err_ << "velmora-search: " << sitesFile_.fileName()
             << " could not be written: " << sitesFile_.errorString() << "\n";
        status = kExitBroken;
    }
    Q_EMIT finished(settle(status));
}

// Its own meta-object code, so that a program using it alone does not take in every window.
#include "moc_console.cpp"
