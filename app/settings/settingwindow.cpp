#include "settings/settingwindow.h"

#include "common/messagebox.h"
#include "core/session.h"
#include "core/text.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QToolButton>

#include <limits>

namespace settingrules {

bool TB_Change(const QString &text)
{
    return text.isEmpty() || WideWord(text) == 0;
}

std::optional<int32_t> FieldNumber(const QString &text)
{
    if (text.isEmpty())
        return std::nullopt;
    int64_t value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
        if (value > std::numeric_limits<int32_t>::max())
            return std::nullopt;
    }
    return int32_t(value);
}

bool TB_Range(const QString &text, Range range)
{
    if (text.isEmpty())
        return true;
    const std::optional<int32_t> number = FieldNumber(text);
    return number && *number >= range.minimum && *number <= range.maximum;
}

int32_t StepUp(int32_t value, Range range)
{
    return value >= range.maximum ? value : value + 1;
}

int32_t StepDown(int32_t value, Range range)
{
    return value <= range.minimum ? value : value - 1;
}

} // namespace settingrules

using namespace settingrules;

namespace {

struct NumericControls {
    const char *field;
    const char *updown;
    const char *label;
    const char *caption;
    int32_t Settings::*value;
    Range range;
};

// Field, buttons, label, caption, setting and range of the numeric fields, top to bottom.
const std::array<NumericControls, 5> kNumeric = {{
    {"TBTime", "UDTime", "LBTime", "検索時間(秒)", &Settings::LimitTime, kLimitTimeRange},
    {"TBLink", "UDLink", "LBLink", "サイトごとのリンク数", &Settings::LimitLink, kLimitLinkRange},
    {"TBCheckWait", "UDCheckWait", "LBCheckWait", "リンク確認時の各サイトの待ち時間(秒)",
     &Settings::CheckWait, kCheckWaitRange},
    {"TBFontSize", "UDFontSize", "LBFontSize", "検索結果一覧のフォントサイズ(ポイント)",
     &Settings::FontSize, kFontSizeRange},
    {"TBHistoryRuns", "UDHistoryRuns", "LBHistoryRuns", "履歴に残す検索の数",
     &Settings::HistoryRuns, kHistoryRunsRange},
}};

template <typename W> W *make(QWidget *parent, const char *name, QRect geometry)
{
    auto *w = new W(parent);
    w->setObjectName(QLatin1String(name));
    w->setGeometry(geometry);
    return w;
}

QLabel *label(QWidget *parent, const char *name, const QString &text, QRect geometry)
{
    auto *l = make<QLabel>(parent, name, geometry);
    l->setText(text);
    return l;
}

// A click on a check box's label ticks the box, as a check box's own text would.
class LabelTicks : public QObject {
public:
    LabelTicks(QLabel *label, QCheckBox *box) : QObject(label), box_(box) {}
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::MouseButtonRelease ||
            static_cast<QMouseEvent *>(event)->button() != Qt::LeftButton || !box_->isEnabled())
            return false;
        box_->click();
        return true;
    }

private:
    QCheckBox *box_;
};

void tickOnClick(QLabel *label, QCheckBox *box)
{
    label->installEventFilter(new LabelTicks(label, box));
    label->setCursor(Qt::PointingHandCursor);
}

} // namespace

Setting::Setting(Session &session, QWidget *parent) : QDialog(parent), session_(session)
{
    buildControls();
}

void Setting::buildControls()
{
    setObjectName(QStringLiteral("Setting"));
    setWindowTitle(QStringLiteral("環境設定"));
    setFixedSize(580, 466);

    Label1 = label(this, "Label1", QStringLiteral("ホームアドレス"), {20, 18, 120, 26});
    THomeURL = make<QLineEdit>(this, "THomeURL", {144, 18, 416, 26});

    // The check boxes carry no text of their own; the label beside each says what it does.
    struct Flag {
        QCheckBox **box;
        QLabel **label;
        const char *boxName;
        const char *labelName;
        const char *caption;
    };
    const Flag flags[] = {
        {&CBSearching, &LBSearching, "CBSearching", "LBSearching",
         "検索時にダイアログを表示させます"},
        {&CBChecking, &LBChecking, "CBChecking", "LBChecking",
         "リンク確認時にダイアログボックスを表示させます"},
        {&CBAutoCheck, &LBAutoCheck, "CBAutoCheck", "LBAutoCheck",
         "検索後に自動的にリンク確認を行います"},
        {&CBAutoDelete, &LBAutoDelete, "CBAutoDelete", "LBAutoDelete",
         "リンク確認後に自動的にリンク切れサイトを削除します"},
        {&CBHistory, &LBHistory, "CBHistory", "LBHistory", "検索の履歴を残します"},
    };
    int y = 60;
    for (const Flag &f : flags) {
        *f.box = make<QCheckBox>(this, f.boxName, {28, y, 22, 26});
        *f.label = label(this, f.labelName, QString::fromUtf8(f.caption), {54, y, 500, 26});
        tickOnClick(*f.label, *f.box);
        y += 32;
    }

    y += 14;
    for (size_t i = 0; i < kNumeric.size(); ++i) {
        const NumericControls &controls = kNumeric[i];
        Numeric &n = numeric[i];
        n.label =
            label(this, controls.label, QString::fromUtf8(controls.caption), {28, y, 330, 26});
        n.field = make<QLineEdit>(this, controls.field, {364, y, 80, 26});
        n.field->setAlignment(Qt::AlignRight);
        n.updown = make<QWidget>(this, controls.updown, {446, y, 20, 26});
        n.up = make<QToolButton>(n.updown, "up", {0, 0, 20, 13});
        n.up->setArrowType(Qt::UpArrow);
        n.down = make<QToolButton>(n.updown, "down", {0, 13, 20, 13});
        n.down->setArrowType(Qt::DownArrow);
        n.value = controls.value;
        connect(n.field, &QLineEdit::textChanged, this, [this, &n] { numberChanged(n); });
        connect(n.up, &QToolButton::clicked, this, [this, &n] { step(n, true); });
        connect(n.down, &QToolButton::clicked, this, [this, &n] { step(n, false); });
        y += 34;
    }

    y += 14;
    cmdOK = make<QPushButton>(this, "cmdOK", {236, y, 100, 30});
    cmdOK->setText(QStringLiteral("OK"));
    cmdSave = make<QPushButton>(this, "cmdSave", {348, y, 100, 30});
    cmdSave->setText(QStringLiteral("適用"));
    cmdCancel = make<QPushButton>(this, "cmdCancel", {460, y, 100, 30});
    cmdCancel->setText(QStringLiteral("キャンセル"));
    for (QPushButton *b : {cmdOK, cmdSave, cmdCancel})
        b->setAutoDefault(false);

    connect(THomeURL, &QLineEdit::textChanged, this, [this](const QString &text) {
        // The home address follows the field at once; cancelling does not take it back.
        if (!filling_)
            session_.settings.HomeURL = text;
    });
    connect(cmdOK, &QPushButton::clicked, this, &Setting::cmdOK_Click);
    connect(cmdSave, &QPushButton::clicked, this, &Setting::cmdSave_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &Setting::cmdCancel_Click);
}

void Setting::showEvent(QShowEvent *event)
{
    // Every opening shows the settings in force; edits not applied last time are gone. The
    // window's own message boxes do not count as leaving it, so they never wipe an edit.
    Form_Activate();
    QDialog::showEvent(event);
}

void Setting::Form_Activate()
{
    const QScopedValueRollback<bool> quiet(filling_, true);
    const Settings &s = session_.settings;
    THomeURL->setText(s.HomeURL);
    // A hand-edited flag other than 0 or 1 counts as on, as it does everywhere else.
    CBSearching->setChecked(s.ShowSearching != 0);
    CBChecking->setChecked(s.ShowChecking != 0);
    CBAutoCheck->setChecked(s.AutoCheck != 0);
    CBAutoDelete->setChecked(s.AutoDelete != 0);
    CBHistory->setChecked(s.History != 0);
    for (size_t i = 0; i < numeric.size(); ++i) {
        Numeric &n = numeric[i];
        n.range = kNumeric[i].range;
        n.field->setText(QString::number(s.*n.value));
    }
}

void Setting::numberChanged(Numeric &n)
{
    if (filling_)
        return;
    const QString text = n.field->text();
    if (!TB_Change(text)) {
        MsgBox(QStringLiteral("半角数字を使って入力してください"));
        n.field->clear();
        return;
    }
    if (!TB_Range(text, n.range)) {
        MsgBox(QStringLiteral("数字の範囲をチェックしてください"));
        n.field->clear();
    }
}

int32_t Setting::effectiveNumber(const Numeric &n) const
{
    // An emptied field stands for the value in force: applying keeps it, and the buttons
    // step from it.
    return FieldNumber(n.field->text()).value_or(session_.settings.*n.value);
}

void Setting::step(Numeric &n, bool up)
{
    const int32_t value = effectiveNumber(n);
    const int32_t next = up ? StepUp(value, n.range) : StepDown(value, n.range);
    if (next != value || n.field->text().isEmpty())
        n.field->setText(QString::number(next));
}

void Setting::cmdSave_Click()
{
    Settings &s = session_.settings;
    s.HomeURL = THomeURL->text();
    s.ShowSearching = CBSearching->isChecked() ? 1 : 0;
    s.ShowChecking = CBChecking->isChecked() ? 1 : 0;
    s.AutoCheck = CBAutoCheck->isChecked() ? 1 : 0;
    s.AutoDelete = CBAutoDelete->isChecked() ? 1 : 0;
    s.History = CBHistory->isChecked() ? 1 : 0;
    const QScopedValueRollback<bool> quiet(filling_, true);
    for (Numeric &n : numeric) {
        s.*n.value = effectiveNumber(n);
        n.field->setText(QString::number(s.*n.value));
    }
    if (applyListFont)
        applyListFont(s.FontSize);
}

void Setting::cmdOK_Click()
{
    cmdSave_Click();
    hide();
}

void Setting::cmdCancel_Click()
{
    hide();
}

void ShowSettingWindow(QPointer<Setting> &window, Session &session, QWidget *owner,
                       std::function<void(int32_t points)> applyListFont)
{
    if (!window)
        window = new Setting(session, owner);
    window->applyListFont = std::move(applyListFont);
    window->exec();
}
