// What the program's start-up and end need from the search driver, without depending on it:
// the driver installs these when it is set up. Unset hooks mean "no run can be active".
#pragma once

#include <cstdint>
#include <functional>

struct RunHooks {
    // True while fetches or checks of a run are still active (ActiveCount above 0).
    std::function<bool()> runActive;
    // Stops the active run for good (Do_Stop; nothing follows it) and calls done once every
    // worker thread has ended. Returns at once.
    std::function<void(std::function<void()> done)> stopRun;
    // Resets the hits taken per slot (SiteHits) of entries 0 .. count - 1 (UseTopic).
    std::function<void(int32_t count)> resetSiteHits;
};

RunHooks &runHooks();
