#include "core/sessionend.h"

#include "core/session.h"
#include "core/settings.h"
#include "core/topicstore.h"

#include <QCoreApplication>

void EndSession(Session &session, std::function<void()> last)
{
    if (session.ended)
        return;
    session.ended = true;
    auto finish = [&session, last = std::move(last)] {
        SaveSettings(session);
        SaveTopics(session);
        if (last)
            last();
        QCoreApplication::exit(0);
    };
    // The run's threads must be gone before the program ends; the stop shows its notice
    // while the event loop goes on.
    if (session.run.ActiveCount() > 0)
        session.run.Do_Stop(std::move(finish), true);
    else
        finish();
}
