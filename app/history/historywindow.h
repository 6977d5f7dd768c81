// The 履歴 window: the stored runs newest first, a search box over every stored hit's title,
// URL and preview, and the buttons 開く (the run's hits in the main list, offline), 再実行 and
// 削除. Not modal: the main window goes on while it is open.
#pragma once

#include "history/historymodels.h"

#include <QDialog>

class HistoryLink;
class QLineEdit;
class QPushButton;
class QTreeView;

class HistoryWindow : public QDialog {
    Q_OBJECT

public:
    HistoryWindow(HistoryLink &link, QWidget *parent);

    // Reads the runs (or the search's hits) from the history again.
    void refresh();
    // The run of the selected line; 0 for none.
    qint64 selectedRun() const;

    QLineEdit *Find = nullptr;
    QTreeView *Runs = nullptr;
    QPushButton *cmdOpen = nullptr;
    QPushButton *cmdRerun = nullptr;
    QPushButton *cmdDelete = nullptr;
    HistoryRunsModel runs;
    HistoryMatchesModel matches;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void open();
    void rerun();
    void remove();

    HistoryLink &link_;
};
