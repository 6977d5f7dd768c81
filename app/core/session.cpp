#include "core/session.h"

Session::Session() : run(settings, sites, runSites)
{
    // The update run and a search share the library's transfers: neither starts while the
    // other is on.
    run.setHeldBy([this] { return update.busy(); });
    update.setHeldBy([this] { return run.busy(); });
}

Session::~Session() = default;
