// Searching: the window that follows a search site by site ("検索中").
#pragma once

#include "driver/progressform.h"

class QProgressBar;

class Searching : public ProgressForm {
    Q_OBJECT

public:
    explicit Searching(QWidget *parent = nullptr);

    // Lists every site of RunSites with the hits its slot found, empties the rest.
    void Init_Form();
    // Sets the bar to the per cent of the sites that have ended, held at its maximum of 100.
    void Up_Progress(int percent);

    QProgressBar *PGSearch = nullptr;
    QLabel *LBSearch = nullptr;
    QLineEdit *TBSearch = nullptr;

protected:
    void onActivated() override;
    bool running() const override;
    void onStop() override;
};

// The one Searching window, made on first use.
Searching *SearchingForm();
