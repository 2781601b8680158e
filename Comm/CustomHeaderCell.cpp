#include "CustomHeaderCell.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>

#include "GetColor.h"

namespace {
QFont headerFont()
{
    QFont font = QApplication::font();
    font.setPixelSize(12);
    return font;
}
} // namespace

CustomHeaderCell::CustomHeaderCell(const QString &oldCellTitle)
{
    // Every column, "Name" included, gets the same look.
    _title = {oldCellTitle, headerFont(), getColor(199, 199, 199, 1)};
}

CustomHeaderCell::Title CustomHeaderCell::getStr()
{
    _title.font = headerFont();
    _title.color = getColor(199, 199, 199, 1);
    return _title;
}

QRectF CustomHeaderCell::titleRectForFrame(const QRectF &frame) const
{
    if (_priority != 0)
        return QRectF(frame.x() + 3, frame.y() + 8, frame.width(), frame.height());
    return QRectF(frame.x(), frame.y() + 8, frame.width() - 8, frame.height());
}

void CustomHeaderCell::drawWithFrame(QPainter &painter, const QRectF &frame, const QWidget *)
{
    painter.fillRect(frame, backgroundColor());
    const Title title = getStr();
    painter.save();
    painter.setClipRect(frame, Qt::IntersectClip);
    painter.setFont(title.font);
    painter.setPen(title.color);
    painter.drawText(titleRectForFrame(frame), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, title.text);
    painter.restore();
}

QPolygonF CustomHeaderCell::sortIndicatorTriangle(const QRectF &frame, bool ascending)
{
    const double x0 = frame.x() + frame.width() - 12;
    const double y = frame.y();
    const double h = frame.height();
    if (ascending)
        return QPolygonF({QPointF(x0, y + h - 10), QPointF(x0 + 4, y + h - 17), QPointF(x0 + 8, y + h - 10)});
    return QPolygonF({QPointF(x0, y + 10), QPointF(x0 + 4, y + 17), QPointF(x0 + 8, y + 10)});
}

QColor CustomHeaderCell::sortIndicatorColor(int priority)
{
    return priority == 0 ? QColor(Qt::white) : QColor(Qt::transparent);
}

void CustomHeaderCell::drawSortIndicatorWithFrame(QPainter &painter, const QRectF &frame, const QWidget *,
                                                  bool ascending, int priority) const
{
    QPainterPath triangle;
    triangle.addPolygon(sortIndicatorTriangle(frame, ascending));
    triangle.closeSubpath();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(triangle, sortIndicatorColor(priority));
    painter.restore();
}

void CustomHeaderCell::setSortAscending(bool ascending, int priority)
{
    _ascending = ascending;
    _priority = priority;
}
