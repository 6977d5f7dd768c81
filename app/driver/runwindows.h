// The progress windows' side of a run: what Searching and Confirm show as the controller's
// run goes on. A window view (the main window) owns one and calls these from its RunView
// calls; the windows call the refreshes when they are activated.
#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>

#include <cstdint>

class Confirm;
class QWidget;
class Searching;
class Session;

class RunWindows {
public:
    // The owner window owns both progress windows (they are made on first use).
    RunWindows(Session &session, QWidget *owner);
    ~RunWindows();
    RunWindows(const RunWindows &) = delete;
    RunWindows &operator=(const RunWindows &) = delete;

    // The one Searching and the one Confirm window of the owner, made on first use.
    Searching *searching();
    Confirm *confirm();

    void searchStart();
    void searchSlot(int slot);
    void searchTick();
    void searchEnd(const QString &endText);
    // Rewrites the Searching window from the run tables.
    void refreshSearching();

    void checkStart();
    void checkSlot(int slot, int32_t state);
    void checkEnd(const QString &counted, const QString &dead);
    // Classifies every check slot again and rewrites the Confirm window.
    void refreshConfirm();

private:
    Session &session_;
    QWidget *owner_;
    QPointer<Searching> searching_;
    QPointer<Confirm> confirm_;
    // The end texts of the last run of each kind, kept so that a window shown after its run
    // shows how the run ended instead of the running counts; empty while a run of its kind
    // goes on.
    QString searchEnd_;
    QStringList checkEnd_;
};
