#include "ZrImageButton.h"

#include <QPainter>

ZrImageButton::ZrImageButton(QWidget *parent) : QoImageButton(parent, false) {}

ZrImageButton::ZrImageButton(const QRect &frame, QWidget *parent) : QoImageButton(frame, parent) {}

void ZrImageButton::setTextWithName(const QString &name, const QRectF &withFrame)
{
    _dstRect = QRectF(0, 0, withFrame.width() - 4, withFrame.height());
    if (_textField)
        return;
    makeLabel(QRectF(rect()).translated(0, 2), systemFont(13), name);
}

void ZrImageButton::paintEvent(QPaintEvent *event)
{
    if (_normalImage.isNull()) {
        QPushButton::paintEvent(event);
        return;
    }
    const State state = currentState();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    imageForState(state).draw(painter, _dstRect, _srcRect);
}

QColor ZrImageButton::labelColorForState(State state) const
{
    // The platform's plain grey (half white) marks the unusable state.
    return state == State::Disabled && !_normalImage.isNull() ? QColor(128, 128, 128) : QColor(Qt::white);
}
