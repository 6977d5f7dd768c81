#include "core/text.h"

QString CutAtBlank(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i).unicode() < 33)
            return text.left(i);
    }
    return text;
}

int WideWord(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() > 255)
            return 1;
    }
    return 0;
}
