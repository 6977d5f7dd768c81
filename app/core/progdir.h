// Where the program's files are.
//
// The program directory holds the delivered, read-only data: catalogue, help, pictures and the
// default topics and settings. The library reads "sitelist.dat" and "idxhelp.dat" from the
// process's current directory, so the program makes the program directory the current
// directory before anything else.
//
// The user's own files live apart from it once the program is installed: "TOPICS.DAT" and
// "STARTUP.DAT" in the user's configuration folder, "release.dat", the folder "update" and
// "Current.htm" in the user's data folder. A program directory that holds its own writable
// "STARTUP.DAT" (the build's program directory, a copy on a stick) is portable: everything
// stays in it.
#pragma once

#include <QString>

// Where each kind of file lives.
struct ProgramPlaces {
    QString data;     // delivered files, the current directory
    QString config;   // TOPICS.DAT, STARTUP.DAT
    QString userData; // release.dat, update/, Current.htm
    bool portable = false;
};

// Decides the places for an executable in executableDir. Portable when that directory holds a
// writable STARTUP.DAT; otherwise the data are in executableDir/../share/velmora (an
// installation under any prefix, or an unpacked package) or, failing that, beside the
// executable, and the user's files go to configRoot and dataRoot.
ProgramPlaces FindProgramPlaces(const QString &executableDir, const QString &configRoot,
                                const QString &dataRoot);

// Settles the places for the running executable (the user's folders from the desktop's
// standard locations), gives the user the default topics and settings on the first start,
// and makes the program directory the current directory. Needs a QCoreApplication. Returns
// false when the program directory can't be entered.
bool enterProgramDir();

// Uses these places without touching the current directory or any file (tests).
void setProgramPlaces(const ProgramPlaces &places);
const ProgramPlaces &programPlaces();

// Copies the delivered TOPICS.DAT and STARTUP.DAT into the configuration folder where the user
// has none yet. Portable places need nothing. Returns false when a copy failed.
bool SeedUserFiles(const ProgramPlaces &places);

// The program directory: the one set by enterProgramDir() or setProgramDir(), else the
// current directory (so code run from a test sandbox finds the sandbox's files).
QString programDir();

// Sets a portable program directory without changing the current directory (tests); an empty
// text goes back to following the current directory.
void setProgramDir(const QString &dir);

// Absolute path of a delivered file, e.g. dataPath("splash.png").
QString dataPath(const QString &name);

// Absolute path of the user's topics or settings file ("TOPICS.DAT", "STARTUP.DAT").
QString configPath(const QString &name);

// Absolute path of a file the program writes for the user ("release.dat", "update",
// "Current.htm").
QString userDataPath(const QString &name);
