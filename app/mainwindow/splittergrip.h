// The grip between the two panes of a face: drawn where the splitter can be caught, with the
// resize cursor over all of it. It reports the mouse in the coordinates of the surface it
// lies on; its owner moves the panes.
#pragma once

#include <QWidget>

#include <functional>

class SplitterGrip : public QWidget {
public:
    struct Hooks {
        std::function<void(QPoint)> press;
        std::function<void(QPoint)> move;
        std::function<void(QPoint)> release;
    };

    SplitterGrip(QWidget *surface, Hooks hooks);
    // Qt::Vertical: panes above and below; Qt::Horizontal: panes left and right.
    void setOrientation(Qt::Orientation orientation);
    Qt::Orientation orientation() const { return orientation_; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QPoint onSurface(const QMouseEvent *event) const;

    Hooks hooks_;
    Qt::Orientation orientation_ = Qt::Vertical;
    bool held_ = false;
};
