#include "StandardWindowButton.h"

#include <QPainter>
#include <QPolygonF>

StandardWindowButton::StandardWindowButton(Kind kind, QWidget *parent) : QAbstractButton(parent), m_kind(kind)
{
    setFocusPolicy(Qt::NoFocus);
    resize(Width, Height);
    static const char *const names[] = {"closeButton", "miniaturizeButton", "zoomButton"};
    if (kind <= ZoomButton)
        setObjectName(QString::fromLatin1(names[kind]));
    else if (kind == FullScreenButton)
        setObjectName(QStringLiteral("fullScreenButton"));
}

void StandardWindowButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (m_kind == FullScreenButton) {
        // Two arrows pointing away from each other along the diagonal.
        QColor ink = !isEnabled() ? QColor(90, 90, 90) : isDown() ? QColor(150, 150, 150) : QColor(200, 200, 200);
        if (m_hover && isEnabled() && !isDown())
            ink = QColor(235, 235, 235);
        p.setPen(QPen(ink, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(ink);
        p.drawLine(QPointF(5, 10), QPointF(9.5, 5.5));
        p.drawPolygon(QPolygonF({QPointF(12, 3), QPointF(12, 7.5), QPointF(7.5, 3)}));
        p.drawPolygon(QPolygonF({QPointF(2, 13), QPointF(2, 8.5), QPointF(6.5, 13)}));
        return;
    }
    QColor fill;
    switch (m_kind) {
    case CloseButton:
        fill = QColor(255, 95, 87);
        break;
    case MiniaturizeButton:
        fill = QColor(254, 188, 46);
        break;
    default:
        fill = QColor(40, 200, 64);
        break;
    }
    if (!isEnabled())
        fill = QColor(90, 90, 90);
    else if (isDown())
        fill = fill.darker(130);
    const QRectF circle(1, 2, 12, 12);
    p.setPen(QPen(fill.darker(125), 0.5));
    p.setBrush(fill);
    p.drawEllipse(circle);
    if (!m_hover || !isEnabled())
        return;
    p.setPen(QPen(QColor(0, 0, 0, 150), 1.2, Qt::SolidLine, Qt::RoundCap));
    const QPointF c = circle.center();
    switch (m_kind) {
    case CloseButton:
        p.drawLine(c + QPointF(-3, -3), c + QPointF(3, 3));
        p.drawLine(c + QPointF(-3, 3), c + QPointF(3, -3));
        break;
    case MiniaturizeButton:
        p.drawLine(c + QPointF(-3.5, 0), c + QPointF(3.5, 0));
        break;
    default:
        p.drawLine(c + QPointF(-3.5, 0), c + QPointF(3.5, 0));
        p.drawLine(c + QPointF(0, -3.5), c + QPointF(0, 3.5));
        break;
    }
}

void StandardWindowButton::enterEvent(QEnterEvent *event)
{
    m_hover = true;
    update();
    QAbstractButton::enterEvent(event);
}

void StandardWindowButton::leaveEvent(QEvent *event)
{
    m_hover = false;
    update();
    QAbstractButton::leaveEvent(event);
}
