#pragma once
#include <QWidget>

// The dark panel of a pop-up whose lower edge is squared off by a band.
// Drawn in the coordinates of the original design (origin bottom-left); the
// shapes are laid out on the view's frame as its superview places it, so the
// view belongs at its superview's bottom-left corner (filling it, typically).
class PopWTopBgView : public QWidget {
    Q_OBJECT
public:
    explicit PopWTopBgView(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
