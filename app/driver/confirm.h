// Confirm: the window that follows a link check link by link ("リンク確認中").
#pragma once

#include "driver/progressform.h"

#include <functional>

class Confirm : public ProgressForm {
    Q_OBJECT

public:
    // refresh rewrites the window from the run when it is activated.
    Confirm(RunController &run, std::function<void()> refresh, QWidget *parent = nullptr);

    // Clears the table and both lines; the check run then adds one row per check.
    void Init_Form();

    QLabel *LBCheck = nullptr;
    QLineEdit *TBCheck = nullptr;

protected:
    void onActivated() override;
    bool running() const override;
    void onStop() override;

private:
    std::function<void()> refresh_;
};
