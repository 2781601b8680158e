#pragma once
#include <QWidget>

// A pale blue rounded page background with a band that squares off its top
// (the band's place assumes the 888-point-wide page layout).
// Drawn in the coordinates of the original design (origin bottom-left); the
// shapes are laid out on the view's frame as its superview places it, so the
// view belongs at its superview's bottom-left corner (filling it, typically).
class BGWView : public QWidget {
    Q_OBJECT
public:
    explicit BGWView(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
