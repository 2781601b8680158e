#pragma once
#include "UsedBar.h"

// The thin used-space bar of a volume row: a grey track and a blue part as
// wide as the used percentage. A part that would leave less than a point of
// track snaps to the full width.
class DiskSizeProgress : public UsedBar {
    Q_OBJECT
public:
    explicit DiskSizeProgress(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
