// Confirm: the window that follows a link check link by link ("リンク確認中").
#pragma once

#include "driver/progressform.h"

class Confirm : public ProgressForm {
    Q_OBJECT

public:
    explicit Confirm(QWidget *parent = nullptr);

    // Clears the table and both lines; the check run then adds one row per check.
    void Init_Form();

    QLabel *LBCheck = nullptr;
    QLineEdit *TBCheck = nullptr;

protected:
    void onActivated() override;
    bool running() const override;
    void onStop() override;
};

// The one Confirm window, made on first use.
Confirm *ConfirmForm();
