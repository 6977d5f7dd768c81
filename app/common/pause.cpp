#include "common/pause.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

void Pause(int milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    // Sleep until an event arrives or the wake-up timer fires at the deadline, so waiting
    // handles the windows' events without holding a processor core. Events are handled
    // directly rather than in a local event loop: once the orderly end has asked the
    // application to quit, a new event loop would return at once and this would spin.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    while (clock.elapsed() < milliseconds) {
        // A timer may fire a little early; the wait is never shorter than asked.
        if (!wake.isActive())
            wake.start(int(milliseconds - clock.elapsed()));
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}
