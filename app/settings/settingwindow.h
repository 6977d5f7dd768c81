// The settings window: edits the settings other than the title, the current topic and the
// search mode. Values reach the settings in memory on apply ("適用" or "OK"), except the home
// address, which follows every keystroke; "STARTUP.DAT" is written only at the orderly end.
#pragma once

#include "core/settings.h"

class Session;

#include <QDialog>
#include <QPointer>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QWidget;

// The numeric fields' rules as plain functions, usable without a window.
namespace settingrules {

using Range = SettingRange;

// Character check: false when the text holds a character above code 255 (a full-width digit,
// a Japanese character). An empty text passes.
bool TB_Change(const QString &text);

// The number a field holds: only ASCII decimal digits, at most 32 bits; nothing otherwise
// (an empty text, a sign, a blank, a letter).
std::optional<int32_t> FieldNumber(const QString &text);

// Range check: false when the text is not empty and is not a number within the range. Text
// that is not a decimal number (letters, a lone minus sign) is refused here, with the range
// message, so a field never holds anything that could not be stored.
bool TB_Range(const QString &text, Range range);

// The up/down buttons: one step towards the limit, never past it and without wrap-around.
int32_t StepUp(int32_t value, Range range);
int32_t StepDown(int32_t value, Range range);

} // namespace settingrules

class Setting : public QDialog {
    Q_OBJECT

public:
    // The window edits the session's settings, which must outlive it.
    explicit Setting(Session &session, QWidget *parent = nullptr);

    // Sets the main window's result list to the given font size; run by every apply.
    std::function<void(int32_t points)> applyListFont;

    // One numeric field with its up/down buttons and the setting it edits.
    struct Numeric {
        QLineEdit *field = nullptr;
        QWidget *updown = nullptr;
        QToolButton *up = nullptr;
        QToolButton *down = nullptr;
        QLabel *label = nullptr;
        int32_t Settings::*value = nullptr;
        settingrules::Range range;
    };

    void Form_Activate();
    void cmdSave_Click();
    void cmdOK_Click();
    void cmdCancel_Click();

    QLabel *Label1 = nullptr;
    QLineEdit *THomeURL = nullptr;
    QCheckBox *CBSearching = nullptr;
    QCheckBox *CBChecking = nullptr;
    QCheckBox *CBAutoCheck = nullptr;
    QCheckBox *CBAutoDelete = nullptr;
    QCheckBox *CBHistory = nullptr;
    QLabel *LBSearching = nullptr;
    QLabel *LBChecking = nullptr;
    QLabel *LBAutoCheck = nullptr;
    QLabel *LBAutoDelete = nullptr;
    QLabel *LBHistory = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdSave = nullptr;
    QPushButton *cmdCancel = nullptr;
    // TBTime/UDTime, TBLink/UDLink, TBCheckWait/UDCheckWait, TBFontSize/UDFontSize,
    // TBHistoryRuns/UDHistoryRuns
    std::array<Numeric, 5> numeric;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildControls();
    void numberChanged(Numeric &n);
    void step(Numeric &n, bool up);
    int32_t effectiveNumber(const Numeric &n) const;

    Session &session_;
    bool filling_ = false; // fields set by the window itself, not typed by the user
};

// Command 18: shows the owner's settings window (window) modally, creating it at its first
// opening with owner as its parent. applyListFont sets the result list's font size.
void ShowSettingWindow(QPointer<Setting> &window, Session &session, QWidget *owner,
                       std::function<void(int32_t points)> applyListFont);
