#include "LeftButton.h"

#include <QPainter>
#include <QPainterPath>

#include "GetColor.h"

LeftButton::LeftButton(QWidget *parent) : QoImageButton(parent, false) {}

LeftButton::LeftButton(const QRect &frame, QWidget *parent) : QoImageButton(frame, parent)
{
    setText(QStringLiteral(" "));
}

QRectF LeftButton::selectionPlateRect() { return QRectF(20, 10, 210, 40); }

QRectF LeftButton::iconRect() { return QRectF(40, 18, 24, 24); }

void LeftButton::setImageFromFileNormalName(const QString &normalName, const QString &withActiveName)
{
    _normalImage = QoImage::named(normalName);
    _activeImage = QoImage::named(withActiveName);
    _dstRect = QRectF(QPointF(0, 0), _normalImage.size());
    _srcRect = _dstRect;
    update();
}

void LeftButton::setTextWithName(const QString &name)
{
    if (_textField)
        return;
    QLabel *label = makeLabel(QRectF(75, (height() - 21) * 0.5, 120, 21), systemFont(16, true), name);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setWordWrap(true);
}

void LeftButton::setButtonAction(bool action)
{
    _isAction = action;
    // Coloured here, not while painting: a palette change on the label
    // repaints the button.
    refreshLabelColor();
    repaint();
}

QColor LeftButton::labelColorForState(State) const { return _isAction ? getColor(0, 0, 0, 1) : QColor(Qt::white); }

void LeftButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (_isAction) {
        QPainterPath plate;
        plate.addRoundedRect(selectionPlateRect().adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
        painter.fillPath(plate, QColor(13, 193, 97));
        _activeImage.draw(painter, iconRect());
    } else {
        _normalImage.draw(painter, iconRect());
    }
}
