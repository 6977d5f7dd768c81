// Start-up and orderly end of the program.
#pragma once

class QMainWindow;

// The start-up sequence: settings, splash, pause, resolution, site list, help table, topics,
// main window, title. Returns false when the program must end at once (the library's site
// catalogue failed to load; the message has been shown). Call with the program directory
// already the current directory. mainWaitMs is the main window's settling wait (tests
// shorten it).
bool StartProgram(int mainWaitMs = 1000);

// The orderly end: stops an active run, saves the settings, then the topics, then quits the
// event loop. Runs once; later calls do nothing. With a run active, the saving and the quit
// follow once the stop has ended its threads (a second later); this returns at once.
void EndProgram();

// True once EndProgram has run (possibly while start-up was still waiting).
bool ProgramEnded();

// The main window StartProgram showed, or nullptr.
QMainWindow *mainWindow();
