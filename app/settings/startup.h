// Start-up and orderly end of the program.
#pragma once

class QApplication;

// Runs the whole start-up sequence and the event loop; returns the process exit code.
int StartProgram(QApplication &app);
