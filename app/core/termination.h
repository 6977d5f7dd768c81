// A polite request to end (SIGTERM at logout or from a service manager, SIGINT, SIGHUP) ends
// the program in order, so the user's topics and settings are written as when the window is
// closed.
#pragma once

#include <functional>

// From now on each of those signals calls onRequest on the user-interface thread, from the
// event loop (never inside the signal handler). Needs a QCoreApplication; call once.
void EndOnTerminationSignals(std::function<void()> onRequest);
