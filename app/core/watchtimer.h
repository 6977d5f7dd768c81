// Watches run on a schedule by the user's systemd: a service template that runs the console's
// --watch for its instance name, a timer template, and per watch a drop-in with the interval
// the user chose. QtCore only: plain functions the window's command calls and tests drive.
#pragma once

#include <QString>

// The user's unit folder: $XDG_CONFIG_HOME/systemd/user, ~/.config/systemd/user without it.
QString WatchUnitFolder();

// A watch's name as a unit's instance name: systemd's escaping (what systemd-escape prints),
// so that any name, blanks and Japanese included, names one instance and comes back whole as
// %I.
QString WatchInstance(const QString &name);

// The service and timer templates for the console program at program.
QString WatchServiceText(const QString &program);
QString WatchTimerText();
// The drop-in that gives one watch's timer its interval.
QString WatchIntervalText(int minutes);

// Writes the two templates and the watch's interval into WatchUnitFolder(). False with
// *error set (in Japanese) when a file can't be written.
bool WriteWatchUnits(const QString &program, const QString &watch, int minutes, QString *error);

// Runs `systemctl --user daemon-reload` and `systemctl --user enable --now` on the watch's
// timer. False when systemctl can't be started or fails; *output then holds what it said.
bool EnableWatchTimer(const QString &watch, QString *output);

// True when the watch was put on a schedule (its interval's drop-in is there).
bool WatchScheduled(const QString &watch);
// Takes a watch off its schedule: `systemctl --user disable --now` on its timer, then its
// drop-in is removed. True at once for a watch that has none. False (the drop-in kept, so that
// trying again finds it) when systemctl fails; *output then holds what it said.
bool UnscheduleWatch(const QString &watch, QString *output);
