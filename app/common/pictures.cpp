#include "common/pictures.h"

#include "core/progdir.h"

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPixmap>

// A picture of the program directory, or a drawn stand-in of the same meaning when the file
// is missing, so a damaged installation still tells the states apart.
static QIcon loadImage(const char *file, QColor color, QChar mark)
{
    const QString path = dataPath(QString::fromLatin1(file));
    // Loaded by name, the icon also takes "name@2x.png" for screens that scale by 2.
    if (QPixmap pixmap; pixmap.load(path))
        return QIcon(path);
    QPixmap drawn(32, 32);
    drawn.setDevicePixelRatio(2);
    drawn.fill(Qt::transparent);
    QPainter p(&drawn);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(color.darker(150));
    p.setBrush(color);
    p.drawEllipse(1, 1, 14, 14);
    QFont font = p.font();
    font.setPixelSize(10);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QString(mark));
    return QIcon(drawn);
}

QIcon ListImage(int index)
{
    static const QIcon images[8] = {
        QIcon(),
        loadImage("tocheck.png", QColor(0x80, 0x80, 0x80), QLatin1Char('?')),
        loadImage("html.png", QColor(0x2e, 0x8b, 0x57), QLatin1Char('o')),
        loadImage("error.png", QColor(0xc0, 0x20, 0x20), QLatin1Char('x')),
        loadImage("unknown.png", QColor(0xd0, 0x90, 0x10), QLatin1Char('!')),
        loadImage("engine.png", QColor(0x30, 0x60, 0xb0), QLatin1Char('S')),
        loadImage("discon.png", QColor(0x60, 0x40, 0x90), QLatin1Char('-')),
        loadImage("forbidden.png", QColor(0xe0, 0x60, 0x20), QLatin1Char('F')),
    };
    return index >= 1 && index <= 7 ? images[index] : QIcon();
}

QIcon TreeImage(int index)
{
    static const QIcon images[5] = {
        QIcon(),
        loadImage("japan.png", QColor(0xd0, 0x30, 0x30), QLatin1Char('J')),
        loadImage("world.png", QColor(0x30, 0x80, 0xc0), QLatin1Char('W')),
        loadImage("books.png", QColor(0x90, 0x60, 0x30), QLatin1Char('T')),
        loadImage("site.png", QColor(0x40, 0x90, 0x40), QLatin1Char('s')),
    };
    return index >= 1 && index <= 4 ? images[index] : QIcon();
}
