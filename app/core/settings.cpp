#include "core/settings.h"

#include "core/atomicfile.h"
#include "core/encoding.h"
#include "core/progdir.h"
#include "core/session.h"
#include "core/text.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

// The maker's home page where the build names the maker's host; an empty page otherwise, not
// an address that can't answer.
const char *const kDefaultHomeURL =
    sizeof(VELMORA_MAKER_HOST) > 1 ? "https://" VELMORA_MAKER_HOST "/" : "about:blank";

namespace {

const char *const kSettingsFile = "STARTUP.DAT";
// A settings file is twelve short lines; anything beyond this is not a settings file.
constexpr qint64 kSettingsFileLimit = 4 * 1024 * 1024;

// A decimal integer, optionally negative, within 32 bits. Blanks around it are allowed;
// anything else (letters, a fraction, too many digits) gives no value.
std::optional<int32_t> parseNumber(QStringView text)
{
    text = text.trimmed();
    if (text.isEmpty() || text.size() > 12)
        return std::nullopt;
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok, 10);
    if (!ok || value < INT32_MIN || value > INT32_MAX)
        return std::nullopt;
    for (const QChar c : text) {
        if (!c.isDigit() && c != u'-' && c != u'+')
            return std::nullopt;
    }
    return int32_t(value);
}

struct NumberKey {
    const char *key;
    int32_t Settings::*field;
};

constexpr std::array<NumberKey, 12> kNumberKeys = {{
    {"iTopic", &Settings::iTopic},
    {"LimitTime", &Settings::LimitTime},
    {"LimitLink", &Settings::LimitLink},
    {"SearchMode", &Settings::SearchMode},
    {"ShowSearching", &Settings::ShowSearching},
    {"ShowChecking", &Settings::ShowChecking},
    {"AutoCheck", &Settings::AutoCheck},
    {"AutoDelete", &Settings::AutoDelete},
    {"CheckWait", &Settings::CheckWait},
    {"FontSize", &Settings::FontSize},
    {"History", &Settings::History},
    {"HistoryRuns", &Settings::HistoryRuns},
}};

void applyLine(const QString &line, Settings &values)
{
    const qsizetype sign = line.indexOf(u'=');
    if (sign <= 0)
        return;
    const QStringView key = QStringView(line).left(sign);
    const QStringView value = QStringView(line).mid(sign + 1);
    if (key == u"Title") {
        values.Title = CutAtBlank(value.toString());
    } else if (key == u"HomeURL") {
        values.HomeURL = CutAtBlank(value.toString());
    } else {
        for (const NumberKey &k : kNumberKeys) {
            if (key == QLatin1String(k.key)) {
                // A number that doesn't read keeps the value the key had.
                if (const auto number = parseNumber(value))
                    values.*k.field = *number;
                return;
            }
        }
    }
}

} // namespace

void ClampSettings(Settings &values)
{
    const auto clamp = [](int32_t &value, SettingRange range) {
        value = std::clamp(value, range.minimum, range.maximum);
    };
    clamp(values.LimitTime, kLimitTimeRange);
    clamp(values.LimitLink, kLimitLinkRange);
    clamp(values.CheckWait, kCheckWaitRange);
    clamp(values.FontSize, kFontSizeRange);
    clamp(values.HistoryRuns, kHistoryRunsRange);
    for (int32_t *flag : {&values.ShowSearching, &values.ShowChecking, &values.AutoCheck,
                          &values.AutoDelete, &values.History})
        clamp(*flag, kFlagRange);
}

Settings ParseSettings(const QByteArray &bytes)
{
    Settings values;
    const QString text = fromCp932(bytes);
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && text.at(end) != u'\n' && text.at(end) != u'\r')
            ++end;
        applyLine(text.mid(start, end - start), values);
        start = end;
        if (start < text.size() && text.at(start) == u'\r')
            ++start;
        if (start < text.size() && text.at(start) == u'\n')
            ++start;
    }
    ClampSettings(values);
    return values;
}

void LoadSettings(Session &session)
{
    QByteArray bytes;
    bool exists = false;
    bool truncated = false;
    const bool read =
        readWholeFile(configPath(kSettingsFile), kSettingsFileLimit, bytes, &exists, &truncated);
    // Only the file's start could be read: what it holds beyond that would be lost at exit.
    session.keepSettingsFile = exists && (!read || truncated);
    if (session.keepSettingsFile) {
        bytes.clear();
        Q_EMIT session.notice(
            QStringLiteral(
                "STARTUP.DATを読み込めませんでした。終了時にこのファイルは上書きしません。"),
            QString(), NoticeLevel::Warning);
    }
    session.settings = ParseSettings(bytes);
}

QByteArray SettingsFileBytes(const Settings &values, bool *lossless)
{
    QString out;
    const auto text = [&out](const char *key, const QString &value) {
        out += QLatin1String(key) + u'=' + CutAtBlank(value) + QLatin1String("\r\n");
    };
    const auto number = [&out](const char *key, int32_t value) {
        out += QLatin1String(key) + u'=' + QString::number(value) + QLatin1String("\r\n");
    };
    text("Title", values.Title);
    number("iTopic", values.iTopic);
    number("LimitTime", values.LimitTime);
    number("LimitLink", values.LimitLink);
    text("HomeURL", values.HomeURL);
    number("SearchMode", values.SearchMode);
    number("ShowSearching", values.ShowSearching);
    number("ShowChecking", values.ShowChecking);
    number("AutoCheck", values.AutoCheck);
    number("AutoDelete", values.AutoDelete);
    number("CheckWait", values.CheckWait);
    number("FontSize", values.FontSize);
    const Settings defaults;
    if (values.History != defaults.History)
        number("History", values.History);
    if (values.HistoryRuns != defaults.HistoryRuns)
        number("HistoryRuns", values.HistoryRuns);
    return toCp932(out, lossless);
}

bool SaveSettings(Session &session)
{
    if (session.keepSettingsFile)
        return false;
    bool lossless = true;
    const QByteArray bytes = SettingsFileBytes(session.settings, &lossless);
    QString error;
    if (!writeFileAtomically(configPath(kSettingsFile), bytes, &error)) {
        Q_EMIT session.notice(
            QStringLiteral(
                "STARTUP.DATを保存できませんでした。以前のファイルはそのまま残っています。\n") +
                error,
            QString(), NoticeLevel::Critical);
        return false;
    }
    if (!lossless) {
        Q_EMIT session.notice(
            QStringLiteral("STARTUP.DATに書けない文字を「?」に置き換えて保存しました。"), QString(),
            NoticeLevel::Warning);
    }
    return true;
}
