#include "TopImageView.h"

#include <QMouseEvent>

TopImageView::TopImageView(QWidget *parent) : QLabel(parent) {}

void TopImageView::mousePressEvent(QMouseEvent *event)
{
    if (mouseDownCanMoveWindow()) {
        event->ignore(); // on to the window, which moves by its background
        return;
    }
    QLabel::mousePressEvent(event);
}
