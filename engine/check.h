// The link checker's start, reachable without the result store. Library-internal.
#pragma once

#include "tessel.h"

namespace tessel {

// iCheck for a given URL: the record's slot checks the URL, and bytes holds the index.
int32_t startCheck(FetchRecord *record, int32_t index, const char *url);

} // namespace tessel
