// The window's side of a click on a watch's notification: the open window takes its name on the
// session bus (core/sessionbus.h) and shows the run it is asked for, so that the click doesn't
// start a second window beside it.
#pragma once

#include <QDBusConnection>
#include <QObject>

class Form1;

class WindowRequests : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.velmora.Window")

public:
    explicit WindowRequests(Form1 &form);

    // Takes the window's name on bus; false when another window holds it (that one answers).
    bool listen(const QDBusConnection &bus);

public Q_SLOTS:
    // Shows the run as `velmora --watch WATCH --run RUN` would and brings the window forward;
    // false when it could not be shown (the status line says why).
    bool OpenRun(const QString &watch, qlonglong run);

private:
    Form1 &form_;
};
