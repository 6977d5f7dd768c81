// The run driver "cfind": program-wide run state, the fetch records shared with the library's
// worker threads, and the polling loop that carries a search or a link check on the
// user-interface thread.
//
// Everything here belongs to the user-interface thread. The library's threads touch only the
// FetchRecords entry they were started with (status, bytes, reads), and the driver reads a
// record's status with an atomic load (RecordStatus) while its thread may run.
#pragma once

#include "tessel.h"

#include <QString>

#include <cstdint>

// Every per-slot and per-hit table has this many entries (0 .. 1000).
constexpr int kRunTables = 1001;
// The hit list takes at most this many hits from one search (list positions 0 .. 998).
constexpr int kMaxListHits = 999;

enum : int32_t {
    kRunIdle = 0,
    kRunSearch = 2,
    kRunCheck = 3,
    kRunUpdate = 4, // set and cleared by the update window
};

// 0 idle, 2 search, 3 link check, 4 update. The main window's commands refuse work while a
// run is active.
extern int32_t RunState;
// 1 once the user asked to stop the current run; 0 when a run starts.
extern int32_t StopFlag;
// Entry n is the record of slot n of the current run. The library keeps the address of an
// entry while its thread runs, so this table is static and never moves.
extern FetchRecord FetchRecords[kRunTables];
// 1 after a fetch or check was started in the slot and not yet harvested.
extern int32_t SlotBusy[kRunTables];
// Hits taken from the slot's site in this search.
extern int32_t SiteHits[kRunTables];
// Row of the Searching window that shows slot n (the slot's position in RunSites).
extern int32_t SlotRow[kRunTables];
// Slots used by the current run: 0 .. SlotCount - 1.
extern int32_t SlotCount;
// Fetches or checks started and not yet harvested.
extern int32_t ActiveCount;
// Hits in the main window's list.
extern int32_t HitCount;
// List position -> result index in the library's result store.
extern int32_t HitOrder[kRunTables];
// Link state of each hit, by result index (1 "No Check" for every new hit).
extern int32_t LinkState[kRunTables];
// RunClock() when the polling of the current run began.
extern double RunStart;
// Time limit of the current run in seconds; 0 means none.
extern int32_t RunLimit;
// Whole seconds counted by the main window's one-second timer during a run.
extern int32_t ElapsedTicks;
// The driver's current status line.
extern QString StatusText;

// Search button, Enter in the keyword box, the search command: stops a run when one is
// active, else starts a search.
void Do_Toggle();
// Runs a whole search over RunSites (and the link check AutoCheck adds); returns when done.
void Do_Search();
// Cancels every running fetch or check of the current run; shows the abort notice while it
// waits. Returns when every worker thread of the run has ended.
void Do_Stop();
// The polling loop shared by searches and link checks.
void Run_Poll();

// Rewrites the Searching window from the run tables (the window calls it when activated).
void RefreshSearching();

// SlotCount when the current or last run is of this kind (kRunSearch or kRunCheck), else 0:
// the progress window of the other kind must not read these tables as its own.
int32_t SlotsOfKind(int32_t kind);

// Seconds with fractions from a clock that never runs backwards.
double RunClock();
// The record's status, read atomically (a worker thread may be writing it).
int32_t RecordStatus(const FetchRecord &record);

// Lets the program's start-up and end reach the driver (runHooks in common/runhooks.h).
void InstallRunHooks();
