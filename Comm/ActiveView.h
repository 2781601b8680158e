#pragma once
#include <QWidget>

// A white panel with large rounded corners and a light grey edge.
// Drawn in the coordinates of the original design (origin bottom-left).
class ActiveView : public QWidget {
    Q_OBJECT
public:
    explicit ActiveView(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
