#include "common/pause.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

void Pause(int milliseconds)
{
    // A local event loop sleeps until an event or the timer arrives, so waiting handles the
    // windows' events without holding a processor core.
    QEventLoop loop;
    QTimer::singleShot(qMax(0, milliseconds), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}
