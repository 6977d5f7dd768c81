// RunCommand: the main window's one dispatcher for menu entries, toolbar buttons and several
// list and tree events. A command whose guard fails returns at once, without a message;
// nothing is ever greyed out.
#pragma once

class Form1;

void RunCommand(Form1 &form, int command);

// The two Help menu entries that have no command number: the message form to the maker
// (blocking) and the maker's news page in the desktop's browser.
void SendToMaker(Form1 &form);
void OpenNews(Form1 &form);

// Paths of the maker's pages (the host is the build's maker host).
inline constexpr char kSupportPagePath[] = "/halvane/velmora/support/support.htm";
inline constexpr char kNewsPagePath[] = "/halvane/velmora/news/news.htm";
