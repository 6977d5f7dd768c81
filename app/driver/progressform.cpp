#include "driver/progressform.h"

#include "common/pictures.h"
#include "common/viewtips.h"
#include "core/runcontroller.h"

#include <QCloseEvent>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

ProgressForm::ProgressForm(const QString &name, const QString &caption, QList<int> divisors,
                           RunController &run, QWidget *parent)
    : QDialog(parent), run_(run), divisors_(std::move(divisors))
{
    setObjectName(name);
    setWindowTitle(caption);
    setModal(false);
    // In characters and lines, so a larger font or scale makes a larger window.
    const QFontMetrics metrics(font());
    resize(metrics.averageCharWidth() * 80, metrics.lineSpacing() * 22);

    Table = new QTreeWidget(this);
    Table->setObjectName(QStringLiteral("Table"));
    Table->setRootIsDecorated(false);
    Table->setUniformRowHeights(true);
    Table->setFrameShape(QFrame::Box);
    Table->header()->setStretchLastSection(false);
    connect(Table->header(), &QHeaderView::sectionResized, this, [this] {
        if (!fitting_)
            columnsDragged_ = true;
    });
    // A site's outcome or a link's address may not fit its third of the table.
    ShowCutOffTips(Table);

    Picture1 = new QLabel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setPixmap(ListImage(5).pixmap(32, 32));

    cmdExit = new QPushButton(QStringLiteral("中止"), this);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    cmdExit->setAutoDefault(false);
    cmdOK = new QPushButton(QStringLiteral("閉じる"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setAutoDefault(false);
    connect(cmdExit, &QPushButton::clicked, this, [this] { onStop(); });
    connect(cmdOK, &QPushButton::clicked, this, &QWidget::hide);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Table, 1);
    body_ = new QVBoxLayout;
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(Picture1);
    bottom->addLayout(body_, 1);
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(cmdExit);
    buttons->addWidget(cmdOK);
    bottom->addLayout(buttons);
    layout->addLayout(bottom);
}

void ProgressForm::Init_Table(const QStringList &headers)
{
    Table->clear();
    Table->setHeaderLabels(headers);
    columnsDragged_ = false;
    fitColumns();
}

void ProgressForm::fitColumns()
{
    // The table spans the window's width inside the layout's margins. It is taken from the
    // window, not the table: a table hidden while it is filled, or never laid out because the
    // window was never shown, still has its first, tiny geometry.
    const QMargins margins = layout()->contentsMargins();
    const int tableWidth = contentsRect().width() - margins.left() - margins.right();
    const int bar = Table->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, Table);
    const int w = qMax(0, tableWidth - 2 * Table->frameWidth() - bar);
    fitting_ = true;
    for (int c = 0; c < Table->columnCount() && c < divisors_.size(); ++c)
        Table->setColumnWidth(c, w / divisors_[c]);
    fitting_ = false;
}

void ProgressForm::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    if (!columnsDragged_)
        fitColumns();
}

void ProgressForm::Add_Table(const QStringList &row)
{
    Table->addTopLevelItem(new QTreeWidgetItem(row));
}

void ProgressForm::Sub1_Table(int row, const QString &text)
{
    if (QTreeWidgetItem *item = Table->topLevelItem(row))
        item->setText(1, text);
}

void ProgressForm::Sub2_Table(int row, const QString &text)
{
    if (QTreeWidgetItem *item = Table->topLevelItem(row))
        item->setText(2, text);
}

void ProgressForm::setCellTip(int row, int column, const QString &tip)
{
    if (QTreeWidgetItem *item = Table->topLevelItem(row))
        item->setToolTip(column, tip);
}

QString ProgressForm::cell(int row, int column) const
{
    QTreeWidgetItem *item = Table->topLevelItem(row);
    return item ? item->text(column) : QString();
}

int ProgressForm::rowCount() const
{
    return Table->topLevelItemCount();
}

void ProgressForm::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        openFlag = true;
        onActivated();
    }
}

void ProgressForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Not every window manager activates a window that is shown: showing is enough to bring
    // it up to date and have it take updates.
    openFlag = true;
    onActivated();
}

void ProgressForm::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && running()) {
        // A second Esc while the stop waits for the threads would only restart its wait.
        if (!run_.stopping())
            onStop();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void ProgressForm::focusInEvent(QFocusEvent *event)
{
    QDialog::focusInEvent(event);
    openFlag = true;
}

void ProgressForm::closeEvent(QCloseEvent *event)
{
    openFlag = false;
    QDialog::closeEvent(event);
}
