// The program directory: the directory of the executable, where every data file lives.
//
// The library reads "sitelist.dat" and "idxhelp.dat" from the process's current directory,
// so the program makes its own directory the current directory before anything else.
#pragma once

#include <QString>

// Makes the executable's directory the program directory and the current directory.
// Needs a QCoreApplication. Returns false when the directory can't be entered.
bool enterProgramDir();

// The program directory: the one set by enterProgramDir() or setProgramDir(), else the
// current directory (so code run from a test sandbox finds the sandbox's files).
QString programDir();

// Sets the program directory without changing the current directory (tests); an empty text
// goes back to following the current directory.
void setProgramDir(const QString &dir);

// Absolute path of a data file in the program directory, e.g. dataPath("TOPICS.DAT").
QString dataPath(const QString &name);
