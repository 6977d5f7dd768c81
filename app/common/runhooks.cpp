#include "common/runhooks.h"

RunHooks &runHooks()
{
    static RunHooks hooks;
    return hooks;
}
