#include "common/viewtips.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QHelpEvent>
#include <QStyle>
#include <QToolTip>

namespace {

class CutOffTips : public QObject {
public:
    explicit CutOffTips(QAbstractItemView *view) : QObject(view), view_(view) {}

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::ToolTip)
            return false;
        auto *help = static_cast<QHelpEvent *>(event);
        const QModelIndex index = view_->indexAt(help->pos());
        // A tool tip the model gives wins: the view's own handling shows it.
        if (!index.isValid() || !index.data(Qt::ToolTipRole).toString().isEmpty())
            return false;
        const QString text = CutOffText(view_, index);
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), PlainTip(text), view_->viewport(),
                               view_->visualRect(index));
        return true;
    }

private:
    QAbstractItemView *view_;
};

class PictureTips : public QObject {
public:
    PictureTips(QAbstractItemView *view, int role, std::function<QString(const QVariant &)> meaning)
        : QObject(view), view_(view), role_(role), meaning_(std::move(meaning))
    {
    }

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::ToolTip)
            return false;
        auto *help = static_cast<QHelpEvent *>(event);
        const QModelIndex index = view_->indexAt(help->pos());
        if (!index.isValid() || index.column() != 0 || index.data(Qt::DecorationRole).isNull())
            return false;
        // The picture sits at the cell's leading edge, one icon wide plus the style's margins.
        const QRect cell = view_->visualRect(index);
        const int margin =
            view_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view_);
        QRect picture(cell.topLeft(),
                      QSize(view_->iconSize().width() + 3 * margin + 2, cell.height()));
        if (view_->layoutDirection() == Qt::RightToLeft)
            picture.moveRight(cell.right());
        if (!picture.contains(help->pos()))
            return false;
        const QString text = meaning_(index.data(role_));
        if (text.isEmpty())
            return false;
        QToolTip::showText(help->globalPos(), PlainTip(text), view_->viewport(), picture);
        return true;
    }

private:
    QAbstractItemView *view_;
    int role_;
    std::function<QString(const QVariant &)> meaning_;
};

// The drop-down list otherwise widens to its longest entry, up to the whole screen: it may be
// as wide as the box or as the chooser's width in characters, whichever is more.
class ChooserWidth : public QObject {
public:
    ChooserWidth(QComboBox *box, int widthChars) : QObject(box), box_(box), chars_(widthChars)
    {
        fit();
    }

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Resize || event->type() == QEvent::FontChange)
            fit();
        return false;
    }

private:
    void fit()
    {
        const int most = box_->fontMetrics().averageCharWidth() * chars_;
        box_->view()->window()->setMaximumWidth(std::max(most, box_->width()));
    }

    QComboBox *box_;
    int chars_;
};

} // namespace

QString CutOffText(const QAbstractItemView *view, const QModelIndex &index)
{
    if (!index.isValid())
        return {};
    const QString text = index.data(Qt::DisplayRole).toString();
    if (text.isEmpty())
        return {};
    // What the delegate needs (icon, check box, margins and text) against what is on screen:
    // a column scrolled half out of the viewport cuts its cells as well.
    const int shown = view->visualRect(index).intersected(view->viewport()->rect()).width();
    // Some delegates (a chooser's drop-down rows) answer a fixed width; the text's own width
    // with a margin either side counts as well.
    const QFont font = index.data(Qt::FontRole).isValid()
                           ? qvariant_cast<QFont>(index.data(Qt::FontRole))
                           : view->font();
    const int textWidth = QFontMetrics(font).horizontalAdvance(text) + 8;
    const int needed = std::max(view->sizeHintForIndex(index).width(), textWidth);
    return needed > shown ? text : QString();
}

QString PlainTip(const QString &text)
{
    if (text.isEmpty())
        return {};
    // Markup of our own, so that the escaped text is shown as the characters it stands for.
    return QStringLiteral("<p style='white-space:pre-wrap'>") + text.toHtmlEscaped() +
           QStringLiteral("</p>");
}

void ShowCutOffTips(QAbstractItemView *view)
{
    view->viewport()->installEventFilter(new CutOffTips(view));
}

void ElideChooser(QComboBox *box, int widthChars)
{
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength(std::min(widthChars, 12));
    box->view()->setTextElideMode(Qt::ElideMiddle);
    ShowCutOffTips(box->view());
    box->installEventFilter(new ChooserWidth(box, widthChars));
    // The box shows its entry clipped; the tool tip gives the rest.
    QObject::connect(box, &QComboBox::currentTextChanged, box, [box](const QString &text) {
        const int room = box->width() - 32;
        box->setToolTip(box->fontMetrics().horizontalAdvance(text) > room ? PlainTip(text)
                                                                          : QString());
    });
}

void ShowPictureTips(QAbstractItemView *view, int role,
                     std::function<QString(const QVariant &)> meaning)
{
    // Installed after the cut-off tips, so it sees the event first.
    view->viewport()->installEventFilter(new PictureTips(view, role, std::move(meaning)));
}
