#include "VoPopoverWindowFrame.h"

#include "CocoaGeometry.h"
#include "CocoaPath.h"

#include <QPainter>
#include <cmath>

VoPopoverWindowFrame::VoPopoverWindowFrame(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frameView"));
    m_color = QColor::fromRgbF(0, 0, 0, 0.8f);
}

void VoPopoverWindowFrame::setColor(const QColor &color)
{
    if (color == m_color)
        return;
    m_color = color;
    update();
}

void VoPopoverWindowFrame::setBorderColor(const QColor &color)
{
    if (color == m_borderColor)
        return;
    m_borderColor = color;
    update();
}

void VoPopoverWindowFrame::setBorderWidth(double width)
{
    if (width == m_borderWidth)
        return;
    m_borderWidth = width;
    update();
}

void VoPopoverWindowFrame::setCornerRadius(double radius)
{
    if (radius == m_cornerRadius)
        return;
    m_cornerRadius = radius;
    update();
}

void VoPopoverWindowFrame::setArrowSize(const QSizeF &size)
{
    if (size.width() == m_arrowSize.width() && size.height() == m_arrowSize.height())
        return;
    m_arrowSize = size;
    update();
}

void VoPopoverWindowFrame::setArrowDirection(unsigned direction)
{
    if (direction == m_arrowDirection)
        return;
    m_arrowDirection = direction;
    update();
}

QPainterPath VoPopoverWindowFrame::popoverBezierPathWithRect(const QRectF &rect) const
{
    const double r = m_cornerRadius;
    const double aw = m_arrowSize.width();
    const double ah = m_arrowSize.height();
    const QRectF inner = rect.adjusted(ah + r, ah + r, -(ah + r), -(ah + r));
    // In bottom-left coordinates QRectF's top() is minY and bottom() maxY.
    const double minX = inner.left(), maxX = inner.right(), minY = inner.top(), maxY = inner.bottom();
    const double midX = inner.center().x(), midY = inner.center().y();

    QPainterPath path;
    CocoaPath::appendArc(path, QPointF(minX, minY), r, 180, 270);
    if (m_arrowDirection == 4) {
        path.lineTo(std::floor(midX - aw / 2), minY - r);
        path.lineTo(std::floor(midX), minY - r - ah);
        path.lineTo(std::floor(midX + aw / 2), minY - r);
    }
    CocoaPath::appendArc(path, QPointF(maxX, minY), r, 270, 360);
    if (m_arrowDirection == 2) {
        path.lineTo(maxX + r, std::floor(midY - aw / 2));
        path.lineTo(maxX + r + ah, std::floor(midY));
        path.lineTo(maxX + r, std::floor(midY + aw / 2));
    }
    CocoaPath::appendArc(path, QPointF(maxX, maxY), r, 0, 90);
    if (m_arrowDirection == 3) {
        path.lineTo(std::floor(midX + aw / 2), maxY + r);
        path.lineTo(std::floor(midX), maxY + r + ah);
        path.lineTo(std::floor(midX - aw / 2), maxY + r);
    }
    CocoaPath::appendArc(path, QPointF(minX, maxY), r, 90, 180);
    if (m_arrowDirection == 1) {
        path.lineTo(minX - r, std::floor(midY + aw / 2));
        path.lineTo(minX - r - ah, std::floor(midY));
        path.lineTo(minX - r, std::floor(midY - aw / 2));
    }
    path.closeSubpath();
    return path;
}

void VoPopoverWindowFrame::paintEvent(QPaintEvent *)
{
    QRectF bounds(0, 0, width(), height());
    if (int(m_borderWidth) % 2 == 1)
        bounds.adjust(0.5, 0.5, -0.5, -0.5);
    const QPainterPath path = popoverBezierPathWithRect(bounds);

    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setTransform(CocoaGeometry::toQtTransform(height()));
    // The body's colour is fixed; color and borderColor are kept for callers only.
    const QColor body(55, 55, 55);
    p.fillPath(path, body);
    if (m_borderWidth > 0) {
        QPen pen(body, 1.0);
        pen.setJoinStyle(Qt::RoundJoin);
        p.strokePath(path, pen);
    }
    if (m_topHighlightColor.isValid()) {
        const double r = m_cornerRadius;
        const double ah = m_arrowSize.height();
        const QRectF b = QRectF(0, 0, width(), height()).adjusted(ah, ah, -ah, -ah);
        const double x = std::floor(r / 2 + b.x());
        const double y = b.bottom() - m_borderWidth - 1;
        const double w = b.width() - r;
        if (m_arrowDirection == 3) {
            const double piece = std::floor(w / 2 - m_arrowSize.width() / 2);
            p.fillRect(QRectF(x, y, piece, 1), m_topHighlightColor);
            p.fillRect(QRectF(x + w - piece, y, piece, 1), m_topHighlightColor);
        } else {
            p.fillRect(QRectF(x, y, w, 1), m_topHighlightColor);
        }
    }
}
