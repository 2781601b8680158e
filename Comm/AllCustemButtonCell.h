#pragma once
class QPainter;
class QStyleOptionButton;
class QWidget;

// The drawing part of AllCustemButton: the platform's button title, drawn
// white over its whole length.
class AllCustemButtonCell {
public:
    void drawTitle(QPainter &painter, const QStyleOptionButton &option, const QWidget *controlView) const;
};
