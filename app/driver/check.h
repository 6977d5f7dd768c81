// The link-check run, dead-link removal and the removal of one hit. User-interface thread.
#pragma once

#include "driver/cfind.h"

#include <cstdint>

// Hundredths of a second from RunStart to the moment the check of slot n was found finished;
// 0 until then.
extern int32_t CheckTime[kRunTables];
// Checks started in this run and not yet classified.
extern int32_t CheckLeft;
// Hits in the list whose link state is 3 ("Not Found").
extern int32_t DeadCount;

// Checks every hit of the list still in state 1, all at once; returns when the run is over
// (and after the dead-link removal AutoDelete adds).
void Do_Check();
// Removes from the list every "Not Found" hit and every hit whose URL repeats one kept before
// it, then reports the count in the status line and a message box.
void Do_DelDead();
// Removes the selected hit; position is its 1-based place in the list.
void Do_DelOne(int position);

// The check-specific steps of Run_Poll, and the Confirm window's refresh on activation.
void CheckStartDisplay();
void HarvestCheck(int i);
void CheckSlotDisplay(int i);
void CheckEndDisplay();
void RefreshConfirm();
