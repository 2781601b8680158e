#include "CancelTextImageButton.h"

#include "GetColor.h"

CancelTextImageButton::CancelTextImageButton(QWidget *parent) : QoImageButton(parent, false) {}

CancelTextImageButton::CancelTextImageButton(const QRect &frame, QWidget *parent) : QoImageButton(frame, parent) {}

void CancelTextImageButton::setTextWithName(const QString &name)
{
    if (_textField)
        return;
    makeLabel(QRectF(0, (height() - 17) * 0.5, width(), 17), systemFont(13), name);
}

QColor CancelTextImageButton::labelColorForState(State state) const
{
    // Without its picture a usable state keeps the plain white label.
    if (_normalImage.isNull() || (imageForState(state).isNull() && state != State::Disabled))
        return Qt::white;
    switch (state) {
    case State::Normal:
        return getColor(255, 255, 255, 1);
    case State::Pressed:
        return getColor(0, 103, 217, 1);
    case State::Hover:
        return getColor(39, 144, 255, 1);
    case State::Disabled:
        return getColor(225, 231, 239, 0.7f);
    }
    return Qt::white;
}
