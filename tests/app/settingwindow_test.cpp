// The settings window driven as a user drives it: typing into the fields, the up/down buttons,
// the check boxes, apply, OK and cancel; checked against the settings in memory.
#include "common/messagebox.h"
#include "core/settings.h"
#include "sessionfixture.h"
#include "settings/settingwindow.h"
#include "windowdriving.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

#include <memory>

using namespace driving;

namespace {

// Empties a field the way a user does: select all, delete.
void emptyField(QLineEdit *field)
{
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Delete);
}

QStringList messages()
{
    QStringList texts;
    for (const msgbox::Shown &box : msgbox::shown())
        texts << box.text;
    return texts;
}

const QString kCharMessage = QStringLiteral("半角数字を使って入力してください");
const QString kRangeMessage = QStringLiteral("数字の範囲をチェックしてください");

} // namespace

class SettingWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<Session> session_ = sessionfixture::fresh();

    std::unique_ptr<Setting> w;
    QList<int32_t> fontsApplied;

    Setting::Numeric &time() { return w->numeric[0]; }
    Setting::Numeric &link() { return w->numeric[1]; }
    Setting::Numeric &wait() { return w->numeric[2]; }
    Setting::Numeric &font() { return w->numeric[3]; }

    void open()
    {
        if (!w) {
            w = std::make_unique<Setting>(*session_);
            w->applyListFont = [this](int32_t points) { fontsApplied << points; };
        }
        w->show();
    }

private Q_SLOTS:
    void init()
    {
        w.reset(); // a window goes before the session it shows
        session_ = sessionfixture::fresh();
        session_->settings.HomeURL = QStringLiteral("http://home.example/");
        session_->settings.AutoCheck = 1;
        session_->settings.CheckWait = 30;
        msgbox::clearShown();
        msgbox::setAutoAnswer(true);
        fontsApplied.clear();
        open();
    }

    void cleanup() { w.reset(); }

    void showsEverySettingWithItsLabel()
    {
        QCOMPARE(w->windowTitle(), QStringLiteral("環境設定"));
        QCOMPARE(w->Label1->text(), QStringLiteral("ホームアドレス"));
        QCOMPARE(w->LBChecking->text(),
                 QStringLiteral("リンク確認時にダイアログボックスを表示させます"));
        QCOMPARE(w->LBAutoDelete->text(),
                 QStringLiteral("リンク確認後に自動的にリンク切れサイトを削除します"));
        QCOMPARE(time().label->text(), QStringLiteral("検索時間(秒)"));
        QCOMPARE(font().label->text(), QStringLiteral("検索結果一覧のフォントサイズ(ポイント)"));
        QVERIFY(w->CBSearching->text().isEmpty());
        QCOMPARE(w->cmdSave->text(), QStringLiteral("適用"));
        QCOMPARE(w->cmdCancel->text(), QStringLiteral("キャンセル"));

        QCOMPARE(w->THomeURL->text(), QStringLiteral("http://home.example/"));
        QVERIFY(w->CBAutoCheck->isChecked());
        QVERIFY(!w->CBSearching->isChecked());
        QCOMPARE(time().field->text(), QStringLiteral("120"));
        QCOMPARE(link().field->text(), QStringLiteral("10"));
        QCOMPARE(wait().field->text(), QStringLiteral("30"));
        QCOMPARE(font().field->text(), QStringLiteral("9"));
        QVERIFY(msgbox::shown().isEmpty());
    }

    // A click on a check box's label ticks the box, and a second click clears it.
    void aLabelClickTicksItsBox()
    {
        QVERIFY(!w->CBSearching->isChecked());
        QTest::mouseClick(w->LBSearching, Qt::LeftButton);
        QVERIFY(w->CBSearching->isChecked());
        QTest::mouseClick(w->LBSearching, Qt::LeftButton);
        QVERIFY(!w->CBSearching->isChecked());
    }

    void eachKeystrokeIsChecked()
    {
        emptyField(time().field);
        typeText(time().field, QStringLiteral("3600"));
        QCOMPARE(time().field->text(), QStringLiteral("3600"));
        emptyField(time().field);
        typeText(time().field, QStringLiteral("360"));
        QVERIFY(msgbox::shown().isEmpty());
        typeText(time().field, QStringLiteral("1"));
        QCOMPARE(messages(), QStringList{kRangeMessage});
        QCOMPARE(msgbox::shown().first().title, QStringLiteral("Velmora"));
        QCOMPARE(time().field->text(), QString());

        // 0 is in range only for the search time; a prefix out of range is refused at once.
        typeText(time().field, QStringLiteral("0"));
        QCOMPARE(time().field->text(), QStringLiteral("0"));
        for (Setting::Numeric *n : {&link(), &wait(), &font()}) {
            msgbox::clearShown();
            emptyField(n->field);
            typeText(n->field, QStringLiteral("05"));
            QCOMPARE(messages().first(), kRangeMessage);
            QCOMPARE(n->field->text(), QStringLiteral("5")); // the 0 went, the 5 followed
        }

        // A full-width digit gives the first message; other single-byte text the second.
        msgbox::clearShown();
        emptyField(font().field);
        typeText(font().field, QStringLiteral("１"));
        QCOMPARE(messages(), QStringList{kCharMessage});
        QCOMPARE(font().field->text(), QString());
        msgbox::clearShown();
        typeText(font().field, QStringLiteral("1a"));
        QCOMPARE(messages(), QStringList{kRangeMessage});
        QCOMPARE(font().field->text(), QString());
        msgbox::clearShown();
        typeText(link().field, QStringLiteral("-"));
        QCOMPARE(messages(), QStringList{kRangeMessage});

        QCOMPARE(session_->settings.LimitTime, 120); // nothing applied yet
        QCOMPARE(session_->settings.FontSize, 9);
    }

    void upDownStopAtTheRange()
    {
        emptyField(link().field);
        typeText(link().field, QStringLiteral("2"));
        QTest::mouseClick(link().down, Qt::LeftButton);
        QCOMPARE(link().field->text(), QStringLiteral("1"));
        QTest::mouseClick(link().down, Qt::LeftButton);
        QCOMPARE(link().field->text(), QStringLiteral("1"));
        emptyField(link().field);
        typeText(link().field, QStringLiteral("99"));
        QTest::mouseClick(link().up, Qt::LeftButton);
        QTest::mouseClick(link().up, Qt::LeftButton);
        QCOMPARE(link().field->text(), QStringLiteral("100"));
        QTest::mouseClick(time().down, Qt::LeftButton);
        QCOMPARE(time().field->text(), QStringLiteral("119"));

        // An emptied field steps from the value in force.
        emptyField(font().field);
        QTest::mouseClick(font().up, Qt::LeftButton);
        QCOMPARE(font().field->text(), QStringLiteral("10"));
        QVERIFY(msgbox::shown().isEmpty());
    }

    void applyOkAndCancel()
    {
        emptyField(time().field);
        typeText(time().field, QStringLiteral("300"));
        emptyField(font().field);
        typeText(font().field, QStringLiteral("14"));
        QTest::mouseClick(w->CBSearching, Qt::LeftButton);
        QTest::mouseClick(w->CBAutoCheck, Qt::LeftButton);
        QTest::mouseClick(w->cmdSave, Qt::LeftButton);
        QCOMPARE(session_->settings.LimitTime, 300);
        QCOMPARE(session_->settings.FontSize, 14);
        QCOMPARE(session_->settings.ShowSearching, 1);
        QCOMPARE(session_->settings.AutoCheck, 0);
        QCOMPARE(fontsApplied, QList<int32_t>{14}); // the result list follows at once
        QVERIFY(w->isVisible());

        // Cancel keeps what was applied and drops the rest.
        emptyField(link().field);
        typeText(link().field, QStringLiteral("50"));
        QTest::mouseClick(w->cmdCancel, Qt::LeftButton);
        QVERIFY(!w->isVisible());
        QCOMPARE(session_->settings.LimitTime, 300);
        QCOMPARE(session_->settings.LimitLink, 10);

        // The next opening shows the settings in force, not the edit.
        open();
        QCOMPARE(link().field->text(), QStringLiteral("10"));
        QCOMPARE(time().field->text(), QStringLiteral("300"));

        // An emptied field keeps its setting on apply and shows it again.
        emptyField(wait().field);
        QTest::mouseClick(w->CBChecking, Qt::LeftButton);
        QTest::mouseClick(w->cmdOK, Qt::LeftButton);
        QVERIFY(!w->isVisible());
        QCOMPARE(session_->settings.CheckWait, 30);
        QCOMPARE(session_->settings.ShowChecking, 1);
        QCOMPARE(wait().field->text(), QStringLiteral("30"));
        QCOMPARE(fontsApplied.size(), 2);
    }

    void homeAddressFollowsTyping()
    {
        QTest::keyClick(w->THomeURL, Qt::Key_End);
        typeText(w->THomeURL, QStringLiteral("top.htm"));
        QCOMPARE(session_->settings.HomeURL, QStringLiteral("http://home.example/top.htm"));
        QTest::mouseClick(w->cmdCancel, Qt::LeftButton);
        QCOMPARE(session_->settings.HomeURL, QStringLiteral("http://home.example/top.htm"));
    }

    void storedValuesOutsideTheRangesAreShownNotChanged()
    {
        w->hide();
        session_->settings.LimitTime = 5000;
        session_->settings.AutoDelete = 7;
        open();
        QCOMPARE(time().field->text(), QStringLiteral("5000"));
        QVERIFY(w->CBAutoDelete->isChecked());
        QVERIFY(msgbox::shown().isEmpty());
        QTest::mouseClick(time().up, Qt::LeftButton);
        QCOMPARE(time().field->text(), QStringLiteral("5000"));
        QTest::mouseClick(w->cmdSave, Qt::LeftButton);
        QCOMPARE(session_->settings.LimitTime, 5000);
        QCOMPARE(session_->settings.AutoDelete, 1);
    }

    void rangeRules()
    {
        using namespace settingrules;
        const Range link{1, 100};
        QVERIFY(TB_Range(QString(), link));
        QVERIFY(TB_Range(QStringLiteral("100"), link));
        QVERIFY(!TB_Range(QStringLiteral("101"), link));
        QVERIFY(!TB_Range(QStringLiteral("0"), link));
        QVERIFY(!TB_Range(QStringLiteral("+5"), link));
        QVERIFY(!TB_Range(QStringLiteral(" 5"), link));
        QVERIFY(!TB_Range(QStringLiteral("99999999999999999999"), {0, 3600}));
        QCOMPARE(FieldNumber(QStringLiteral("2147483647")), std::optional<int32_t>(2147483647));
        QCOMPARE(FieldNumber(QStringLiteral("2147483648")), std::nullopt);
        QVERIFY(TB_Change(QStringLiteral("12é")));
        QVERIFY(!TB_Change(QStringLiteral("1２")));
        QCOMPARE(StepDown(1, link), 1);
        QCOMPARE(StepUp(100, link), 100);
        QCOMPARE(StepUp(0, link), 1);
    }
};

QTEST_MAIN(SettingWindowTest)
#include "settingwindow_test.moc"
