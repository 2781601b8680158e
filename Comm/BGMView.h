#pragma once
#include <QWidget>

// A near-white background band with square corners.
// Drawn in the coordinates of the original design (origin bottom-left).
class BGMView : public QWidget {
    Q_OBJECT
public:
    explicit BGMView(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
