#pragma once
#include <QWidget>

// The green rounded plate of a selected entry.
// Drawn in the coordinates of the original design (origin bottom-left).
class LeftSelView : public QWidget {
    Q_OBJECT
public:
    explicit LeftSelView(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
