#include "TextImageButton.h"

#include "GetColor.h"

TextImageButton::TextImageButton(QWidget *parent) : QoImageButton(parent, false) {}

TextImageButton::TextImageButton(const QRect &frame, QWidget *parent) : QoImageButton(frame, parent) {}

void TextImageButton::setTextWithName(const QString &name)
{
    if (_textField)
        return;
    const bool mainButton = _normalName == QLatin1String("btn_main");
    const bool toolButton = _normalName == QLatin1String("btn_tool");
    const double h = mainButton ? 20 : 17;
    const double d = toolButton ? 0 : 1;
    const QRectF frame(0, (height() - 17) * 0.5 - d, width(), h);
    QFont font = systemFont(13);
    if (mainButton)
        font = systemFont(14, true);
    else if (toolButton)
        font = systemFont(12);
    makeLabel(frame, font, name);
}

QColor TextImageButton::labelColorForState(State state) const
{
    if (_normalImage.isNull())
        return Qt::white;
    switch (state) {
    case State::Normal:
        return Qt::white;
    case State::Pressed:
    case State::Hover:
        return getColor(255, 255, 255, 1);
    case State::Disabled:
        return getColor(128, 132, 136, 1);
    }
    return Qt::white;
}
