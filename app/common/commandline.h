// The window program's few command-line options: --help and --version, answered on the
// terminal without a display and without touching any file, and --watch NAME and --run ID,
// which open the window on a stored search (a watch's notification is clicked with them).
#pragma once

#include <QString>

#include <optional>

// What the window is asked to show once it stands.
struct WindowRequest {
    QString watch;  // a watch's latest run, or the run below when it is the watch's
    qint64 run = 0; // a stored run, by the number `velmora-search --history` lists
};

// The window's request, or nullopt when the arguments ask for one of the terminal answers
// (or hold an option the program doesn't know, or a value it can't use), so main() must call
// AnswerCommandLine instead of starting the windows.
std::optional<WindowRequest> WindowRequestOf(int argc, const char *const *argv);

// Prints the help or the version, or an error for an unknown option; needs a
// QCoreApplication. Returns the exit status (0, or 2 for a usage error).
int AnswerCommandLine();
