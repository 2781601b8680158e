#pragma once
#include <QWidget>

// The white panel of a pop-up, rounded, with a red band along its top edge.
// Drawn in the coordinates of the original design (origin bottom-left); the
// shapes are laid out on the view's frame as its superview places it, so the
// view belongs at its superview's bottom-left corner (filling it, typically).
class PopWBgView : public QWidget {
    Q_OBJECT
public:
    explicit PopWBgView(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
