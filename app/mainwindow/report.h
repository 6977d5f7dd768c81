// The HTML report of the listed results, and the two commands that write it: save as HTML
// (command 7) and view the list in the desktop's browser (command 8).
#pragma once

#include <QString>

#include <functional>

class Form1;
class QWidget;

// Writes the listed results to path through the library's report writer (which gives the
// file the extension ".htm"): the keyword box's text, HitCount, then one entry per list
// position in the order the hits were found (HitOrder), not in the list's sort order. A path
// the system code page can't hold is refused with a message and nothing is written, since the
// report would otherwise land under another name. A report that could not be written (a
// folder that is missing or not writable, a full disk) is reported with a message too.
// Returns true when the file was written.
bool SaveReport(const Form1 &form, const QString &path);

// Command 7: asks for a file name (filter "*.htm", the keyword text proposed, in the folder
// SaveFolder gives) and saves the report there; a cancelled dialog writes nothing. The folder
// of a report written is remembered for the next time.
void SaveAsHtml(Form1 *form);

// Command 8: saves the report as "Current.htm" in the program directory, makes it the target
// address and opens it in the desktop's browser; nothing is opened when it couldn't be written.
void ViewInBrowser(Form1 *form);

// The save dialog: parent, file filter and proposed name in; the chosen path out, empty when
// cancelled.
using ReportDialog =
    std::function<QString(QWidget *parent, const QString &filter, const QString &proposed)>;

// Test hook: replaces the save dialog; an empty function brings back the real one.
void setReportDialog(ReportDialog dialog);
