#pragma once
#include "UsedBar.h"

// A flat 6-point bar: pale blue track, blue part as wide as the percentage
// (snapping to the full width when less than a point would be left).
class ProgressView : public UsedBar {
    Q_OBJECT
public:
    explicit ProgressView(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
