#include "common/messagebox.h"

#include "core/session.h"

#include <QApplication>
#include <QWidget>

namespace {

constexpr const char *kProgramName = "Velmora";

struct Hooks {
    QList<QMessageBox::StandardButton> answers;
    QList<msgbox::Shown> shown;
    bool autoAnswer = false;
};

Hooks &hooks()
{
    static Hooks h;
    return h;
}

QMessageBox::StandardButton escapeButton(QMessageBox::StandardButtons buttons)
{
    for (const auto b : {QMessageBox::No, QMessageBox::Cancel, QMessageBox::Ok}) {
        if (buttons.testFlag(b))
            return b;
    }
    return QMessageBox::Ok;
}

} // namespace

void ShowNotices(Session &session)
{
    QObject::connect(&session, &Session::notice, &session,
                     [](const QString &text, const QString &title, NoticeLevel level) {
                         const QMessageBox::Icon icon =
                             level == NoticeLevel::Critical  ? QMessageBox::Critical
                             : level == NoticeLevel::Warning ? QMessageBox::Warning
                                                             : QMessageBox::NoIcon;
                         MsgBox(text, QMessageBox::Ok, title, icon);
                     });
}

QMessageBox::StandardButton MsgBox(const QString &text, QMessageBox::StandardButtons buttons,
                                   const QString &title, QMessageBox::Icon icon,
                                   QMessageBox::StandardButton defaultButton)
{
    const QString caption = title.isEmpty() ? QString::fromLatin1(kProgramName) : title;
    Hooks &h = hooks();
    QMessageBox::StandardButton answer;
    if (!h.answers.isEmpty()) {
        answer = h.answers.takeFirst();
    } else if (h.autoAnswer) {
        answer = escapeButton(buttons);
    } else {
        QMessageBox box(icon, caption, text, buttons, QApplication::activeWindow());
        box.setObjectName(QStringLiteral("MsgBox"));
        // Messages carry names and addresses from the catalogue and the network: never markup.
        box.setTextFormat(Qt::PlainText);
        if (defaultButton != QMessageBox::NoButton)
            box.setDefaultButton(defaultButton);
        answer = QMessageBox::StandardButton(box.exec());
    }
    // The log is for tests; bounded so a long session never grows it without end.
    if (h.shown.size() >= 1000)
        h.shown.removeFirst();
    h.shown.append({caption, text, buttons, answer, defaultButton});
    return answer;
}

namespace msgbox {

void setNextAnswer(QMessageBox::StandardButton answer)
{
    hooks().answers.append(answer);
}

void setAutoAnswer(bool on)
{
    hooks().autoAnswer = on;
}

const QList<Shown> &shown()
{
    return hooks().shown;
}

void clearShown()
{
    hooks().shown.clear();
}

int pendingAnswers()
{
    return int(hooks().answers.size());
}

} // namespace msgbox
