#pragma once
#include <QWidget>

// The thin usage bar of a volume row ("pro"): a light track and a blue part
// as wide as the used percentage.
class WipeDiskProView : public QWidget {
    Q_OBJECT
public:
    explicit WipeDiskProView(QWidget *parent = nullptr);

    // The blue part's width in points.
    float value() const { return _value; }
    // Percent of the width; beyond the last point the bar is full, below 0 empty.
    void changeProgressValue(float percent);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    float _value = 0;
};
