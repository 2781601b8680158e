#pragma once
#include <QWidget>

// The dark rounded panel of a pop-up without a header.
// Drawn in the coordinates of the original design (origin bottom-left); the
// shapes are laid out on the view's frame as its superview places it, so the
// view belongs at its superview's bottom-left corner (filling it, typically).
class PopNoHeaderV : public QWidget {
    Q_OBJECT
public:
    explicit PopNoHeaderV(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
