// The user's session bus as the programs use it: whether it is there, and the name under which
// an open window takes requests (a click on a watch's notification opens the run in the window
// already open rather than in a second one). QtCore only.
#pragma once

// True when the user's session bus can be reached without starting one: a timer's run, or a
// window without a desktop session, has none, and D-Bus would try to start one for the display.
bool SessionBusAround();

// The open window's name, object and interface; its one method is
// OpenRun(watch: s, run: x) -> b, which shows the run as `velmora --watch WATCH --run RUN` would.
inline constexpr char kWindowService[] = "org.velmora.Velmora";
inline constexpr char kWindowPath[] = "/Window";
inline constexpr char kWindowInterface[] = "org.velmora.Window";
