// The folder the report's save dialog starts in: the one the user last saved a report to, else
// the user's documents folder. Never the program's data folder, which an installed program
// can't write to; the program's current directory is that folder, so the dialog must never
// be left to start where the process stands.
//
// The folder is kept in "window.ini" beside the user's topics and settings (the user's
// configuration folder), since the lines of STARTUP.DAT are fixed.
#pragma once

#include <QString>

// The first usable folder of: remembered, documents, home. A folder is usable when it exists,
// is writable and is not dataDir. Empty when none is.
QString ChooseSaveFolder(const QString &remembered, const QString &documents, const QString &home,
                         const QString &dataDir);

// The folder to propose now, from what is remembered and the desktop's standard places.
QString SaveFolder();

// Remembers the folder of a report just written to savedPath.
void RememberSaveFolder(const QString &savedPath);
