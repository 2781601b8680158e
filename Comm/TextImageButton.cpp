#include "TextImageButton.h"

#include <QPainter>

#include "GetColor.h"

TextImageButton::TextImageButton(QWidget *parent) : QoImageButton(parent, false) {}

TextImageButton::TextImageButton(const QRect &frame, QWidget *parent) : QoImageButton(parent, true)
{
    setGeometry(frame);
}

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

void TextImageButton::paintEvent(QPaintEvent *event)
{
    setLabelColor(Qt::white);
    if (_normalImage.isNull()) {
        QPushButton::paintEvent(event);
        return;
    }
    const State state = currentState();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    imageForState(state).draw(painter, _dstRect);
    switch (state) {
    case State::Normal:
        break;
    case State::Pressed:
    case State::Hover:
        setLabelColor(getColor(255, 255, 255, 1));
        break;
    case State::Disabled:
        setLabelColor(getColor(128, 132, 136, 1));
        break;
    }
}
