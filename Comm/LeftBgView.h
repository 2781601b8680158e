#pragma once
#include <QWidget>

// A pale blue-grey rounded panel.
// Drawn in the coordinates of the original design (origin bottom-left); the
// shapes are laid out on the view's frame as its superview places it, so the
// view belongs at its superview's bottom-left corner (filling it, typically).
class LeftBgView : public QWidget {
    Q_OBJECT
public:
    explicit LeftBgView(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
