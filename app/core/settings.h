// The program's settings and the file "STARTUP.DAT".
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

class Session;

// The maker's home page: the default of HomeURL.
extern const char *const kDefaultHomeURL;

// One set of values for the whole program; the member names are the file's keys.
struct Settings {
    QString Title = QStringLiteral("Velmora");
    int32_t iTopic = 0;
    int32_t LimitTime = 120;
    int32_t LimitLink = 10;
    QString HomeURL = QString::fromLatin1(kDefaultHomeURL);
    int32_t SearchMode = 0;
    int32_t ShowSearching = 0;
    int32_t ShowChecking = 0;
    int32_t AutoCheck = 0;
    int32_t AutoDelete = 0;
    int32_t CheckWait = 60;
    int32_t FontSize = 9;
    // The search history: kept (1) or not (0), and how many runs it holds at most.
    int32_t History = 1;
    int32_t HistoryRuns = 200;
};

// The values a number setting may take: what the settings window accepts.
struct SettingRange {
    int32_t minimum = 0;
    int32_t maximum = 0;
};
constexpr SettingRange kLimitTimeRange{0, 3600};
constexpr SettingRange kLimitLinkRange{1, 100};
constexpr SettingRange kCheckWaitRange{1, 3600};
constexpr SettingRange kFontSizeRange{1, 64};
constexpr SettingRange kFlagRange{0, 1}; // the check boxes
constexpr SettingRange kHistoryRunsRange{1, 10000};

// Brings every number the settings window edits into its range, the nearest end for a value
// outside it: a hand-edited LimitLink=-5 would make every search return nothing.
void ClampSettings(Settings &values);

// Sets the session's settings to the defaults, then reads "STARTUP.DAT" from the program
// directory (a missing file keeps the defaults).
void LoadSettings(Session &session);
// The defaults overridden by the lines of CP932 file bytes, clamped (ClampSettings); the part
// of LoadSettings that needs no file.
Settings ParseSettings(const QByteArray &bytes);

// Writes all settings to "STARTUP.DAT", replacing the file atomically. On failure the old
// file is kept, the user is told in a notice, and the result is false.
bool SaveSettings(Session &session);
// The lines SaveSettings writes (CP932, CR LF): the twelve every version reads, then the
// history's two only where they differ from their defaults, so that a file of the defaults
// stays the twelve lines older versions wrote.
QByteArray SettingsFileBytes(const Settings &values, bool *lossless = nullptr);
