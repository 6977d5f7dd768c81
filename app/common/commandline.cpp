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

const QString kWatch = QStringLiteral("--watch");
const QString kRun = QStringLiteral("--run");

} // namespace

std::optional<WindowRequest> WindowRequestOf(int argc, const char *const *argv)
{
    WindowRequest request;
    for (int i = 1; i < argc; ++i) {
        if (!isProgramOption(argv[i]))
            continue;
        // "--watch NAME" or "--watch=NAME"; a missing value is a usage error.
        const QString arg = QString::fromLocal8Bit(argv[i]);
        const QString name = arg.section(u'=', 0, 0);
        QString value;
        if (arg.contains(u'='))
            value = arg.section(u'=', 1);
        else if (i + 1 < argc && (name == kWatch || name == kRun))
            value = QString::fromLocal8Bit(argv[++i]);
        bool number = false;
        if (name == kWatch && !value.trimmed().isEmpty())
            request.watch = value;
        else if (name == kRun && value.toLongLong(&number) > 0 && number)
            request.run = value.toLongLong();
        else
            return std::nullopt;
    }
    return request;
}

int AnswerCommandLine()
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("たくさんの検索サイトをまとめて検索し、結果をひとつの一覧にします。\n"
                       "Velmora searches many sites at once and lists their hits together."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addOption(
        {QStringLiteral("watch"),
         QStringLiteral("監視の最新の検索結果を開きます。\nOpens a watch's latest run."),
         QStringLiteral("NAME")});
    parser.addOption(
        {QStringLiteral("run"),
         QStringLiteral("履歴の検索結果を開きます（番号は velmora-search --history）。\n"
                        "Opens a stored run (numbered by velmora-search --history)."),
         QStringLiteral("ID")});
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
    // A known option with a value the window can't use: an empty name, a run that is no number.
    std::fprintf(stderr, "%s\n%s",
                 qPrintable(QStringLiteral("--watch には監視の名前を、--run には1以上の番号を"
                                           "指定してください。")),
                 qPrintable(parser.helpText()));
    return 2;
}
