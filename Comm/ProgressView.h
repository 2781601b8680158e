#pragma once
#include <QWidget>

// A flat 6-point bar: pale blue track, blue part as wide as the percentage
// (snapping to the full width when less than a point would be left).
class ProgressView : public QWidget {
    Q_OBJECT
public:
    explicit ProgressView(QWidget *parent = nullptr);

    void changeProgressValue(float percent);
    float used() const { return _used; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    float _used = 0;
};
