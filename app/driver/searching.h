// Searching: the window that follows a search site by site ("検索中").
#pragma once

#include "driver/progressform.h"

#include <functional>

class QProgressBar;
class Session;

class Searching : public ProgressForm {
    Q_OBJECT

public:
    // refresh rewrites the window from the session's run when it is activated.
    Searching(Session &session, std::function<void()> refresh, QWidget *parent = nullptr);

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

private:
    Session &session_;
    std::function<void()> refresh_;
};
