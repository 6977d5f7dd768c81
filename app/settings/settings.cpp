#include "settings/settings.h"

#include "common/atomicfile.h"
#include "common/encoding.h"
#include "common/messagebox.h"
#include "common/progdir.h"
#include "common/text.h"
#include "tessel.h"
#include "topics/topicstore.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

const char *const kDefaultHomeURL = "https://" VELMORA_MAKER_HOST "/";

namespace {

const char *const kSettingsFile = "STARTUP.DAT";
// A settings file is twelve short lines; anything beyond this is not a settings file.
constexpr qint64 kSettingsFileLimit = 4 * 1024 * 1024;

// Set when "STARTUP.DAT" existed but could not be read: the orderly end must not replace the
// user's settings with the defaults.
bool g_keepUnreadableFile = false;

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

constexpr std::array<NumberKey, 10> kNumberKeys = {{
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

Settings &settings()
{
    static Settings values;
    return values;
}

int32_t &screenDpi()
{
    static int32_t dpi = 96;
    return dpi;
}

void ClampSettings(Settings &values)
{
    const auto clamp = [](int32_t &value, SettingRange range) {
        value = std::clamp(value, range.minimum, range.maximum);
    };
    clamp(values.LimitTime, kLimitTimeRange);
    clamp(values.LimitLink, kLimitLinkRange);
    clamp(values.CheckWait, kCheckWaitRange);
    clamp(values.FontSize, kFontSizeRange);
    for (int32_t *flag :
         {&values.ShowSearching, &values.ShowChecking, &values.AutoCheck, &values.AutoDelete})
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

void LoadSettings()
{
    QByteArray bytes;
    bool exists = false;
    bool truncated = false;
    const bool read =
        readWholeFile(configPath(kSettingsFile), kSettingsFileLimit, bytes, &exists, &truncated);
    // Only the file's start could be read: what it holds beyond that would be lost at exit.
    g_keepUnreadableFile = exists && (!read || truncated);
    if (g_keepUnreadableFile) {
        bytes.clear();
        MsgBox(QStringLiteral(
                   "STARTUP.DATを読み込めませんでした。終了時にこのファイルは上書きしません。"),
               QMessageBox::Ok, QString(), QMessageBox::Warning);
    }
    settings() = ParseSettings(bytes);
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
    return toCp932(out, lossless);
}

bool SaveSettings()
{
    if (g_keepUnreadableFile)
        return false;
    bool lossless = true;
    const QByteArray bytes = SettingsFileBytes(settings(), &lossless);
    QString error;
    if (!writeFileAtomically(configPath(kSettingsFile), bytes, &error)) {
        MsgBox(QStringLiteral(
                   "STARTUP.DATを保存できませんでした。以前のファイルはそのまま残っています。\n") +
                   error,
               QMessageBox::Ok, QString(), QMessageBox::Critical);
        return false;
    }
    if (!lossless) {
        MsgBox(QStringLiteral("STARTUP.DATに書けない文字を「?」に置き換えて保存しました。"),
               QMessageBox::Ok, QString(), QMessageBox::Warning);
    }
    return true;
}

int32_t LoadSiteInfo()
{
    SiteInfoList &list = siteInfoList();
    const int32_t loaded = LoadSite();
    if (loaded < 0) {
        list.count = 0;
        MsgBox(QStringLiteral("LoadSite Error=") + QString::number(loaded));
        return loaded;
    }
    // The program keeps headers for site indexes 0 .. 100 only.
    list.count = std::min<int32_t>(loaded, kSiteInfoCount);
    std::array<char, kSiteHeaderSize> record;
    for (int32_t i = 0; i < kSiteInfoCount; ++i) {
        SiteInfo &info = list.sites[i];
        if (i >= list.count) {
            info = SiteInfo();
            continue;
        }
        QString *fields[6] = {&info.name,      &info.language, &info.type,
                              &info.searchKey, &info.root,     &info.memo};
        record.fill('\0');
        for (int f = 0; f < 6; ++f)
            writeCp932Field(*fields[f], record.data() + kSiteFieldOffset[f], kSiteFieldWidth[f]);
        const int32_t status = SiteHeader(record.data(), i);
        for (int f = 0; f < 6; ++f)
            *fields[f] = readCp932Field(record.data() + kSiteFieldOffset[f], kSiteFieldWidth[f]);
        if (status < 0)
            info.language = QStringLiteral("unknown");
    }
    return loaded;
}
