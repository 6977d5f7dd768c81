#include "settings/splash.h"

#include "core/encoding.h"
#include "core/progdir.h"
#include "tessel.h"

#include <QFont>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

namespace {

constexpr int kTwipsPerPixel = 15;
constexpr int kPictureMarginTwips = 90; // the picture window is the bitmap plus 1/16 inch
constexpr QSize kDrawnSplashSize(420, 260);

// A start-up window showing one picture; any key or click on it closes it.
class StartWindow : public QWidget {
public:
    StartWindow(const QString &name, const QPixmap &picture, QSize size)
        : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
          picture_(picture)
    {
        setObjectName(name);
        setFixedSize(size);
        setFocusPolicy(Qt::StrongFocus);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        if (!picture_.isNull()) {
            painter.fillRect(rect(), palette().window());
            painter.drawPixmap((width() - picture_.width()) / 2, (height() - picture_.height()) / 2,
                               picture_);
            return;
        }
        drawPlainSplash(painter);
    }
    void keyPressEvent(QKeyEvent *) override { hide(); }
    void mousePressEvent(QMouseEvent *) override { hide(); }

private:
    // Used when no splash picture was delivered: the program's name on a quiet background.
    void drawPlainSplash(QPainter &painter)
    {
        QLinearGradient shade(0, 0, 0, height());
        shade.setColorAt(0, QColor(24, 62, 112));
        shade.setColorAt(1, QColor(8, 24, 48));
        painter.fillRect(rect(), shade);
        painter.setPen(Qt::white);
        QFont title = font();
        title.setPointSize(28);
        title.setBold(true);
        painter.setFont(title);
        painter.drawText(rect().adjusted(0, 0, 0, -40), Qt::AlignCenter, QStringLiteral("Velmora"));
        QFont line = font();
        line.setPointSize(10);
        painter.setFont(line);
        painter.drawText(rect().adjusted(0, 60, 0, 0), Qt::AlignCenter,
                         QStringLiteral("メタ検索クライアント"));
    }

    QPixmap picture_;
};

QWidget *g_splash = nullptr;
QWidget *g_picture = nullptr;
QWidget *g_shown = nullptr;

void centre(QWidget *window)
{
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        window->move(area.center() - QPoint(window->width() / 2, window->height() / 2));
    }
}

QWidget *pictureWindow()
{
    const QString path = dataPath(QStringLiteral("replace.bmp"));
    if (FileExist(toCp932(path).constData()) != 1)
        return nullptr;
    if (g_picture)
        return g_picture;
    const QPixmap picture(path);
    if (picture.isNull())
        return nullptr; // an unreadable picture: the built-in splash stands in for it
    const int margin = kPictureMarginTwips / kTwipsPerPixel;
    g_picture =
        new StartWindow(QStringLiteral("Picture"), picture, picture.size() + QSize(margin, margin));
    return g_picture;
}

} // namespace

QWidget *builtInSplash()
{
    if (!g_splash) {
        const QPixmap picture(dataPath(QStringLiteral("splash.png")));
        g_splash = new StartWindow(QStringLiteral("Splash"), picture,
                                   picture.isNull() ? kDrawnSplashSize : picture.size());
    }
    return g_splash;
}

void ShowSplash()
{
    builtInSplash();
    QWidget *window = pictureWindow();
    if (!window)
        window = g_splash;
    centre(window);
    window->show();
    window->raise();
    g_shown = window;
}

void HideSplash()
{
    if (g_splash)
        g_splash->hide();
    if (g_picture)
        g_picture->hide();
}

QWidget *shownSplash()
{
    return g_shown;
}
