#pragma once
#include <QWidget>

// A flat bar whose part is as wide as a percentage of its width, snapping to
// the full width when less than a point of track would be left. Subclasses
// paint the track and the part.
class UsedBar : public QWidget {
    Q_OBJECT
public:
    void changeProgressValue(float percent);
    float used() const { return _used; }

    // The part's width for a percentage of a bar `width` points wide.
    static float usedWidth(float width, float percent);

protected:
    explicit UsedBar(QWidget *parent = nullptr);

    float _used = 0;
};
