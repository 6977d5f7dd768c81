// The search-specific steps of a run, called by Run_Poll (cfind.cpp) and by the Searching
// window. User-interface thread only.
#pragma once

#include <cstdint>

// Run start: status text, Search caption, animation, result columns, Searching window.
void SearchStartDisplay();
// A search begins with an empty store: its first hit is the store's first.
void StartHarvests();
// Takes the new hits of slot i's page into the list and asks for the next page while the
// site still wants hits.
void HarvestSearch(int i);
// Status line and Searching window after slot i was harvested.
void SearchSlotDisplay(int i);
// Run end: caption, animation, end text.
void SearchEndDisplay();
// The keyword buffer (CP932) of the current search and the request buffer iForm writes into.
// The request buffer keeps its text when iForm fails, so the previous request is sent again.
const char *SearchKeywords();
char *SearchRequest();
// The hits the slot shown in row k of the Searching window found (0 when no slot shows it).
int32_t RowHits(int k);
