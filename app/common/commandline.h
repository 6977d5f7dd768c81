// The program's few command-line options: --help and --version, answered on the terminal
// without a display and without touching any file.
#pragma once

// True when the arguments ask for one of the terminal answers (or hold an option the program
// doesn't know), so main() must call AnswerCommandLine instead of starting the windows.
bool WantsTerminalAnswer(int argc, const char *const *argv);

// Prints the help or the version, or an error for an unknown option; needs a
// QCoreApplication. Returns the exit status (0, or 2 for a usage error).
int AnswerCommandLine();
