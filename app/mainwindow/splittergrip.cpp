#include "mainwindow/splittergrip.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOption>

SplitterGrip::SplitterGrip(QWidget *surface, Hooks hooks)
    : QWidget(surface), hooks_(std::move(hooks))
{
    setObjectName(QStringLiteral("splitter"));
    setAttribute(Qt::WA_Hover);
    setOrientation(Qt::Vertical);
}

void SplitterGrip::setOrientation(Qt::Orientation orientation)
{
    orientation_ = orientation;
    setCursor(orientation == Qt::Vertical ? Qt::SplitVCursor : Qt::SplitHCursor);
    update();
}

void SplitterGrip::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    // The style's own splitter handle: a row of dots across the band, in the palette's
    // colours, so it reads in a dark theme as in a light one.
    QStyleOption option;
    option.initFrom(this);
    // The style's "horizontal" is the splitter's: panes side by side.
    if (orientation_ == Qt::Horizontal)
        option.state |= QStyle::State_Horizontal;
    if (held_)
        option.state |= QStyle::State_Sunken;
    if (held_ || underMouse())
        p.fillRect(rect(), palette().color(QPalette::Midlight));
    style()->drawControl(QStyle::CE_Splitter, &option, &p, this);
}

QPoint SplitterGrip::onSurface(const QMouseEvent *event) const
{
    return mapToParent(event->position().toPoint());
}

void SplitterGrip::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    held_ = true;
    update();
    hooks_.press(onSurface(event));
}

void SplitterGrip::mouseMoveEvent(QMouseEvent *event)
{
    if (held_)
        hooks_.move(onSurface(event));
}

void SplitterGrip::mouseReleaseEvent(QMouseEvent *event)
{
    if (!held_ || event->button() != Qt::LeftButton)
        return;
    held_ = false;
    update();
    hooks_.release(onSurface(event));
}

void SplitterGrip::enterEvent(QEnterEvent *event)
{
    update();
    QWidget::enterEvent(event);
}

void SplitterGrip::leaveEvent(QEvent *event)
{
    update();
    QWidget::leaveEvent(event);
}
