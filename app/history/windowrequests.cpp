#include "history/windowrequests.h"

#include "core/sessionbus.h"
#include "history/historylink.h"
#include "mainwindow/form1.h"

#include <string_view>

WindowRequests::WindowRequests(Form1 &form) : QObject(&form), form_(form)
{
}

bool WindowRequests::listen(const QDBusConnection &bus)
{
    static_assert(std::string_view(kWindowInterface) == "org.velmora.Window");
    QDBusConnection connection = bus;
    // The first window answers; a second one started by hand goes without.
    if (!connection.registerService(QString::fromLatin1(kWindowService)))
        return false;
    return connection.registerObject(QString::fromLatin1(kWindowPath), this,
                                     QDBusConnection::ExportAllSlots);
}

bool WindowRequests::OpenRun(const QString &watch, qlonglong run)
{
    if (form_.isMinimized())
        form_.showNormal();
    form_.raise();
    form_.activateWindow();
    return form_.history->openAsked(watch, run);
}
