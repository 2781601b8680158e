#pragma once
#include <QWidget>

// A translucent white card inset by 6 points, with a light edge and a soft blue
// shadow.
// Drawn in the coordinates of the original design (origin bottom-left).
class PopInView : public QWidget {
    Q_OBJECT
public:
    explicit PopInView(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
