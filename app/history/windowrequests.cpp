#include "history/windowrequests.h"

#include "core/sessionbus.h"
#include "history/historylink.h"
#include "mainwindow/form1.h"

#include <QApplication>
#include <QDBusConnectionInterface>
#include <QDBusReply>

#include <string_view>

WindowRequests::WindowRequests(Form1 &form) : QObject(&form), form_(form)
{
}

bool WindowRequests::listen(const QDBusConnection &bus)
{
    static_assert(std::string_view(kWindowInterface) == "org.velmora.Window");
    QDBusConnection connection = bus;
    if (!connection.registerObject(QString::fromLatin1(kWindowPath), this,
                                   QDBusConnection::ExportAllSlots))
        return false;
    // The first window answers; one opened beside it waits in line for the name and answers
    // once the first is closed.
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        connection.interface()->registerService(QString::fromLatin1(kWindowService),
                                                QDBusConnectionInterface::QueueService,
                                                QDBusConnectionInterface::DontAllowReplacement);
    return reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered;
}

bool WindowRequests::OpenRun(const QString &watch, qlonglong run)
{
    if (form_.isMinimized())
        form_.showNormal();
    form_.raise();
    form_.activateWindow();
    // A dialog the window waits on (a report's file name) reads the list once it is closed:
    // the list must not be replaced under it.
    if (QApplication::activeModalWidget()) {
        form_.setStatusText(
            QStringLiteral("ほかの操作の途中のため、監視の検索結果を開けませんでした。"
                           "履歴（Ctrl+H）から開けます。"));
        return false;
    }
    return form_.history->openAsked(watch, run);
}
