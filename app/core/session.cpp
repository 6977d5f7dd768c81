#include "core/session.h"

#include "core/encoding.h"
#include "core/progdir.h"
#include "tessel.h"

Session::Session() : run(settings, sites, runSites)
{
    // The update run and a search share the library's transfers: neither starts while the
    // other is on.
    run.setHeldBy([this] { return update.busy(); });
    update.setHeldBy([this] { return run.busy(); });
    run.setPauses(&pauses);
}

void Session::useUserFiles()
{
    if (userFilesNamed_)
        return;
    userFilesNamed_ = true;
    // The library's own fallback (VELMORA_USER_SITES) still names the file when this one's
    // path can't be written in CP932.
    bool lossless = false;
    const QByteArray catalogue = toCp932(configPath(QStringLiteral("usersites.dat")), &lossless);
    UserCatalogue(lossless ? catalogue.constData() : "");
    pauses = SitePauses(userDataPath(QStringLiteral("paused.dat")));
}

Session::~Session() = default;
