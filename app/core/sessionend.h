// The orderly end of a session: what the window program does when the user exits.
#pragma once

#include <functional>

class Session;

// Stops an active run, saves the settings, then the topics, calls last (the window keeps its
// place there), then quits the event loop. Runs once per session; later calls do nothing
// (Session::ended). With a run active, the saving and the quit follow once the stop has
// ended its threads (a second later); this returns at once.
void EndSession(Session &session, std::function<void()> last = {});
