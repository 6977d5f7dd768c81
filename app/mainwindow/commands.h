// RunCommand: the main window's one dispatcher for menu entries, toolbar buttons and several
// list and tree events. A command whose guard fails returns at once; the ones a user tries in
// vain most often say why on the status line. Nothing is greyed out for the run state.
#pragma once

#include <QString>

class Form1;

void RunCommand(Form1 &form, int command);

// Why the command can't act now (empty when it can, or while a run is on); SaidWhyNot also
// shows that reason on the status line and tells whether it did.
QString WhyNot(const Form1 &form, int command);
bool SaidWhyNot(Form1 &form, int command);

// The two Help menu entries that have no command number: the message form to the maker
// (blocking) and the maker's news page in the desktop's browser.
void SendToMaker(Form1 &form);
void OpenNews(Form1 &form);

// Paths of the maker's pages (the host is the build's maker host).
inline constexpr char kSupportPagePath[] = "/halvane/velmora/support/support.htm";
inline constexpr char kNewsPagePath[] = "/halvane/velmora/news/news.htm";
