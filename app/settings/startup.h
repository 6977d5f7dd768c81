// Start-up of the window program.
#pragma once

#include <QPointer>

class Form1;
class Session;

// The start-up sequence: settings, splash, pause, resolution, site list, help table, topics,
// main window, title. Returns false when the program must end at once (the library's site
// catalogue failed to load; the message has been shown). Call with the program directory
// already the current directory and the session's notices shown (ShowNotices). window is set
// as soon as the main window exists, before its settling wait; closing the window hides it but
// keeps it, and the caller deletes it at the end. mainWaitMs is the main window's settling wait
// (tests shorten it).
bool StartProgram(Session &session, QPointer<Form1> &window, int mainWaitMs = 1000);
