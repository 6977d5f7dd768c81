// The desktop notification of a watch's new hits (org.freedesktop.Notifications over the
// session bus). QtCore and QtDBus only: the console stays free of Gui and Widgets.
#pragma once

#include <QStringList>

#include <chrono>

class QDBusConnection;

// The notification's title and text for the new hits' titles: the count, then the first
// few titles, one a line.
QString NewHitsSummary(const QString &watch, qsizetype count);
QString NewHitsBody(const QStringList &titles);

// Announces the new hits over bus; false when the bus has no notification service or it
// didn't answer within a few seconds.
bool AnnounceNewHits(const QDBusConnection &bus, const QString &watch, const QStringList &titles);
// The same over the user's session bus, when there is one; without one nothing is tried (no
// bus is started for it) and the result is false.
bool AnnounceNewHits(const QString &watch, const QStringList &titles);
// The same, given up after limit. A bus that never answered leaves its thread blocked inside
// the D-Bus library: AnnouncementHung() then tells the program to end without tearing down
// what that thread holds.
bool AnnounceNewHitsWithin(const QString &watch, const QStringList &titles,
                           std::chrono::milliseconds limit);
bool AnnouncementHung();
