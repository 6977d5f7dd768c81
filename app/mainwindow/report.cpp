#include "mainwindow/report.h"

#include "common/messagebox.h"
#include "core/encoding.h"
#include "core/hitreport.h"
#include "core/progdir.h"
#include "core/session.h"
#include "mainwindow/form1.h"
#include "settings/savefolder.h"
#include "tessel.h"

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>

#include <algorithm>

static ReportDialog &reportDialog()
{
    static ReportDialog dialog;
    return dialog;
}

void setReportDialog(ReportDialog dialog)
{
    reportDialog() = std::move(dialog);
}

// The save dialog CommonDialog1, opened in folder.
static QString askFileName(QWidget *parent, const QString &filter, const QString &folder,
                           const QString &proposed)
{
    QFileDialog dialog(parent, QString(), folder.isEmpty() ? QDir::homePath() : folder);
    dialog.setObjectName(QStringLiteral("CommonDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The desktop's own dialog speaks the desktop's language; the toolkit's speaks Japanese
    // like every other window of the program.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilter(filter);
    dialog.selectFile(proposed);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

bool SaveReport(const Form1 &form, const QString &path)
{
    if (!fitsCp932(path)) {
        MsgBox(QStringLiteral("このファイル名では保存できません。別の名前を指定してください。\n") +
                   path,
               QMessageBox::Ok, QString(), QMessageBox::Warning);
        return false;
    }
    // The writer puts the file in place whole or not at all; when it couldn't, the user is
    // told rather than left believing the list was saved.
    const RunController &run = form.session().run;
    const QList<int32_t> indexes(run.HitOrder,
                                 run.HitOrder + std::clamp<int32_t>(run.HitCount, 0, kRunTables));
    const bool written = WriteHitReport(form.Word->text(), indexes, path);
    if (!written)
        MsgBox(QStringLiteral("HTMLファイルを保存できませんでした。\n") + path, QMessageBox::Ok,
               QString(), QMessageBox::Warning);
    return written;
}

void SaveAsHtml(Form1 *form)
{
    const QString filter = QStringLiteral("HTMLファイル (*.htm *.html)");
    const QString proposed = form->Word->text();
    const QString path = reportDialog() ? reportDialog()(form, filter, proposed)
                                        : askFileName(form, filter, SaveFolder(), proposed);
    if (!path.isEmpty() && SaveReport(*form, path))
        RememberSaveFolder(path);
}

void ViewInBrowser(Form1 *form)
{
    const QString path = userDataPath(QStringLiteral("Current.htm"));
    // An old page of that name would show another list: nothing is opened when it failed.
    if (!SaveReport(*form, path))
        return;
    form->TargetURL = path;
    form->Do_RefIE();
}
