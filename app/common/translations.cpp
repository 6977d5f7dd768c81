#include "common/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

QString TranslationsDir()
{
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

bool InstallJapanese()
{
    // Every text of the program is Japanese whatever the desktop's language, so the toolkit's
    // dates and sizes in its dialogs follow Japanese too.
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    // "qt_ja" names the toolkit's modules' catalogues and loads them all.
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral("qt_ja"), TranslationsDir())) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}
