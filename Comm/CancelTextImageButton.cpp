#include "CancelTextImageButton.h"

#include <QPainter>

#include "GetColor.h"

CancelTextImageButton::CancelTextImageButton(QWidget *parent) : QoImageButton(parent, false) {}

CancelTextImageButton::CancelTextImageButton(const QRect &frame, QWidget *parent) : QoImageButton(parent, true)
{
    setGeometry(frame);
}

void CancelTextImageButton::setTextWithName(const QString &name)
{
    if (_textField)
        return;
    makeLabel(QRectF(0, (height() - 17) * 0.5, width(), 17), systemFont(13), name);
}

void CancelTextImageButton::paintEvent(QPaintEvent *event)
{
    setLabelColor(Qt::white);
    if (_normalImage.isNull()) {
        QPushButton::paintEvent(event);
        return;
    }
    const State state = currentState();
    const QoImage image = imageForState(state);
    // Without its picture a usable state keeps the label as it was.
    if (image.isNull() && state != State::Disabled)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    image.draw(painter, _dstRect);
    switch (state) {
    case State::Normal:
        setLabelColor(getColor(255, 255, 255, 1));
        break;
    case State::Pressed:
        setLabelColor(getColor(0, 103, 217, 1));
        break;
    case State::Hover:
        setLabelColor(getColor(39, 144, 255, 1));
        break;
    case State::Disabled:
        setLabelColor(getColor(225, 231, 239, 0.7f));
        break;
    }
}
