// The toolkit's own texts (standard buttons, the file dialog, error strings) in Japanese, so
// nothing the user sees switches language when a standard dialog opens.
#pragma once

#include <QString>

// Installs the toolkit's Japanese catalogue from its translations folder and makes Japanese the
// default locale. Needs a QCoreApplication. Returns false when the catalogue is not installed
// (the program still runs; standard dialogs then speak English).
bool InstallJapanese();

// The folder InstallJapanese() loads from.
QString TranslationsDir();
