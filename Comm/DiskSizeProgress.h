#pragma once
#include <QWidget>

// The thin used-space bar of a volume row: a grey track and a blue part as
// wide as the used percentage. A part that would leave less than a point of
// track snaps to the full width.
class DiskSizeProgress : public QWidget {
    Q_OBJECT
public:
    explicit DiskSizeProgress(QWidget *parent = nullptr);

    void changeProgressValue(float percent);
    float used() const { return _used; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    float _used = 0;
};
