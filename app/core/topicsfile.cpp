#include "core/topicsfile.h"

#include "core/encoding.h"
#include "core/text.h"

#include <algorithm>

namespace {

const QString kHeader = QStringLiteral("TOPIC ");
const QString kEnd = QStringLiteral("ENDTOPIC");
constexpr qsizetype kLineWidth = 1024; // characters of a line or an item that count
constexpr QChar kComma = u',';
constexpr QChar kQuote = u'"';

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

// Walks the file line by line, and within a line item by item: a comma ends an item as a
// line end does, an item that begins with a double quote runs to the closing quote.
class TopicsReader {
public:
    explicit TopicsReader(const QByteArray &bytes) : bytes_(bytes) {}

    // The next line, or the rest of the current one when an item ended at a comma.
    bool readLine(QString &line)
    {
        if (rest_) {
            rest_ = false;
            line = line_.mid(column_);
            return true;
        }
        if (!loadLine())
            return false;
        line = line_;
        return true;
    }

    // The next item. *lineStart tells whether it begins a fresh line.
    bool readItem(QString &item, bool &lineStart)
    {
        if (!rest_) {
            if (!loadLine())
                return false;
            column_ = 0;
        }
        lineStart = column_ == 0;
        rest_ = false;
        qsizetype i = column_;
        const qsizetype n = line_.size();
        while (i < n && isBlank(line_.at(i)))
            ++i;
        qsizetype end;
        if (i < n && line_.at(i) == kQuote) {
            const qsizetype close = line_.indexOf(kQuote, i + 1);
            end = close < 0 ? n : close;
            item = line_.mid(i + 1, end - i - 1);
            end = close < 0 ? n : line_.indexOf(kComma, close + 1);
        } else {
            end = line_.indexOf(kComma, i);
            item = line_.mid(i, (end < 0 ? n : end) - i);
        }
        if (end >= 0 && end < n) {
            column_ = end + 1;
            rest_ = true;
        }
        return true;
    }

    // True when the current line is a record header.
    bool lineIsHeader() const { return line_.startsWith(kHeader); }

    // Gives the line of the last readItem back to the next readLine (it began a new record).
    void unreadLine()
    {
        column_ = 0;
        rest_ = true;
    }

private:
    bool loadLine()
    {
        const qsizetype size = bytes_.size();
        if (pos_ >= size)
            return false;
        qsizetype end = pos_;
        while (end < size && bytes_[end] != '\n' && bytes_[end] != '\r')
            ++end;
        line_ = fromCp932(
            QByteArrayView(bytes_.constData() + pos_, std::min(end - pos_, kTopicsLineLimit)));
        column_ = 0;
        pos_ = end;
        if (pos_ < size && bytes_[pos_] == '\r')
            ++pos_;
        if (pos_ < size && bytes_[pos_] == '\n')
            ++pos_;
        return true;
    }

    const QByteArray &bytes_;
    qsizetype pos_ = 0;
    QString line_;
    qsizetype column_ = 0;
    bool rest_ = false; // line_ from column_ on is still to be read
};

QString withoutTrailingBlanks(QString text)
{
    qsizetype n = text.size();
    while (n > 0 && text.at(n - 1) == u' ')
        --n;
    text.truncate(n);
    return text;
}

// Reads the member lines of one record up to its "ENDTOPIC", 50 members at most.
void readMembers(TopicsReader &reader, TopicRecord &topic, const SiteInfoList &sites)
{
    const int32_t siteCount = sites.count;
    QString item;
    bool lineStart = false;
    for (int j = 0; j < kMaxMembers; ++j) {
        if (!reader.readItem(item, lineStart))
            return; // the file ended inside the record: what was read is the topic
        // A header line inside a record means its "ENDTOPIC" is missing: end the record
        // here so the next topic is not swallowed as members.
        if (lineStart && reader.lineIsHeader()) {
            reader.unreadLine();
            return;
        }
        item = leftWhole(item, kLineWidth);
        if (item.startsWith(kEnd))
            return;
        const int32_t site = FindSiteByRoot(sites, item);
        if (site < siteCount) {
            topic.sites[topic.siteCount++] = site;
        } else {
            const QString root = CutAtBlank(item);
            if (!root.isEmpty())
                topic.unknownRoots.append(root);
        }
    }
}

void appendMember(QString &out, const QString &root)
{
    // A root holding a comma would read back as two items; quoted it reads back whole.
    if (root.contains(kComma))
        out += kQuote + root + kQuote;
    else
        out += root;
    out += QLatin1String("\r\n");
}

} // namespace

TopicsParse ParseTopics(const QByteArray &bytes, TopicStore &store, const SiteInfoList &sites)
{
    TopicsParse result;
    std::fill(store.topics.begin(), store.topics.end(), TopicRecord());
    store.count = 0;
    TopicsReader reader(bytes);
    QString line;
    while (reader.readLine(line)) {
        if (!line.startsWith(kHeader))
            continue;
        if (store.count >= kTopicSlots) {
            result.overflow = true;
            break;
        }
        // The line counts as its first 1024 characters, so a name has at most 1018.
        TopicRecord &topic = store.topics[store.count];
        topic.name = withoutTrailingBlanks(leftWhole(line, kLineWidth).mid(kHeader.size()));
        readMembers(reader, topic, sites);
        ++store.count;
    }
    return result;
}

QByteArray FormatTopics(const TopicStore &store, const SiteInfoList &list, bool *lossless)
{
    QString out;
    for (int32_t t = 0; t < std::clamp(store.count, 0, kTopicSlots); ++t) {
        const TopicRecord &topic = store.topics[t];
        out += kHeader + CutAtBlank(topic.name) + QLatin1String("\r\n");
        int written = 0;
        for (int32_t m = 0; m < std::clamp(topic.siteCount, 0, kMemberRoom); ++m) {
            const int32_t site = topic.sites[m];
            if (site < 0 || site >= list.count)
                continue;
            appendMember(out, CutAtBlank(list.sites[site].root));
            ++written;
        }
        // Roots the catalogue doesn't know go back where they came from, after the known
        // members, as long as the record stays within what the loader reads.
        for (const QString &root : topic.unknownRoots) {
            if (written >= kMaxMembers)
                break;
            appendMember(out, root);
            ++written;
        }
        out += kEnd + QLatin1String("\r\n");
    }
    return toCp932(out, lossless);
}
