// The program's settings, the file "STARTUP.DAT", and the program's copy of the site list.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

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
constexpr SettingRange kFlagRange{0, 1}; // the four check boxes

// Brings every number the settings window edits into its range, the nearest end for a value
// outside it: a hand-edited LimitLink=-5 would make every search return nothing.
void ClampSettings(Settings &values);

// Program-wide state.
Settings &settings();
int32_t &screenDpi(); // DPI from GetDPI at start-up

// Sets the defaults, then reads "STARTUP.DAT" from the program directory (a missing file
// keeps the defaults).
void LoadSettings();
// The defaults overridden by the lines of CP932 file bytes, clamped (ClampSettings); the part
// of LoadSettings that needs no file.
Settings ParseSettings(const QByteArray &bytes);

// Writes all settings to "STARTUP.DAT", replacing the file atomically. On failure the old
// file is kept, the user is told in a message box, and the result is false.
bool SaveSettings();
// The twelve lines SaveSettings writes (CP932, CR LF).
QByteArray SettingsFileBytes(const Settings &values, bool *lossless = nullptr);

// Fills the site list from the library (LoadSite, SiteHeader). Returns the LoadSite result;
// a negative one has been shown as "LoadSite Error=" and the program must end.
int32_t LoadSiteInfo();
