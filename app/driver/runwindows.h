// The progress windows' side of a run: what Searching and Confirm show as the controller's
// run goes on. A window view (the main window) calls these from its RunView calls; the
// windows call the refreshes when they are activated.
#pragma once

#include <QString>

#include <cstdint>

class QWidget;
class RunController;

// The window that owns both progress windows (they are made on first use).
void setProgressOwner(QWidget *owner);
QWidget *progressOwner();

void SearchWindowStart(RunController &run);
void SearchWindowSlot(RunController &run, int slot);
void SearchWindowEnd(RunController &run, const QString &endText);
// Rewrites the Searching window from the run tables.
void RefreshSearching();

void CheckWindowStart(RunController &run);
void CheckWindowSlot(RunController &run, int slot, int32_t state);
void CheckWindowEnd(const QString &counted, const QString &dead);
// Classifies every check slot again and rewrites the Confirm window.
void RefreshConfirm();
