#include "common/commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <cstring>

namespace {

// Options the toolkit takes for itself (-platform, -style, -display …) start with a single
// dash and are left to it; only double-dash options and the short help and version forms are
// the program's.
bool isProgramOption(const char *arg)
{
    return std::strncmp(arg, "--", 2) == 0 || std::strcmp(arg, "-h") == 0 ||
           std::strcmp(arg, "-?") == 0 || std::strcmp(arg, "-v") == 0;
}

} // namespace

bool WantsTerminalAnswer(int argc, const char *const *argv)
{
    for (int i = 1; i < argc; ++i) {
        if (isProgramOption(argv[i]))
            return true;
    }
    return false;
}

int AnswerCommandLine()
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("たくさんの検索サイトをまとめて検索し、結果をひとつの一覧にします。\n"
                       "Velmora searches many sites at once and lists their hits together."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    if (!parser.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "%s\n%s", qPrintable(parser.errorText()),
                     qPrintable(parser.helpText()));
        return 2;
    }
    if (parser.isSet(version)) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                    qPrintable(QCoreApplication::applicationVersion()));
        return 0;
    }
    if (parser.isSet(help)) {
        std::printf("%s", qPrintable(parser.helpText()));
        return 0;
    }
    std::fprintf(stderr, "%s", qPrintable(parser.helpText()));
    return 2;
}
