#pragma once
#include <QWidget>

// The head of a page: a pale blue band and two blue rounded blocks at its
// left (their places assume the 888-point-wide page layout).
// Drawn in the coordinates of the original design (origin bottom-left).
class TopBgView : public QWidget {
    Q_OBJECT
public:
    explicit TopBgView(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
