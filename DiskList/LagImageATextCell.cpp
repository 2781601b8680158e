#include "LagImageATextCell.h"

#include <QApplication>
#include <QPainter>
#include <algorithm>
#include <cmath>

LagImageATextCell::LagImageATextCell(QObject *parent) : QStyledItemDelegate(parent) {}

QRectF LagImageATextCell::imageRectForCellFrame(const QRectF &cellFrame, double cellHeight, bool flipped)
{
    const QRectF slice(cellFrame.x(), cellFrame.y(), sliceWidth, cellFrame.height());
    const double y = flipped ? slice.y() - 21 + std::ceil((cellHeight + imageSide) / 2)
                             : slice.y() - 21 + std::ceil((cellHeight - imageSide) / 2);
    return QRectF(slice.x(), y, imageSide, imageSide);
}

QRectF LagImageATextCell::titleRectForBounds(const QRectF &titleRect, const QRectF &cellFrame, double textHeight)
{
    QRectF r = titleRect;
    r.moveTop((cellFrame.height() - textHeight) / 2 + cellFrame.top() - 2);
    r.setHeight(textHeight);
    return r;
}

QRectF LagImageATextCell::textFrameForEditing(const QRectF &cellFrame, double imageWidth)
{
    const double cut = imageWidth + 3;
    return QRectF(cellFrame.x() + cut, cellFrame.y(), std::max(0.0, cellFrame.width() - cut), cellFrame.height());
}

double LagImageATextCell::cellWidth(double baseWidth, double imageWidth) { return baseWidth + imageWidth + 3; }

QIcon LagImageATextCell::imageFor(const QModelIndex &index) const
{
    const QVariant decoration = index.data(Qt::DecorationRole);
    if (decoration.canConvert<QIcon>()) {
        const QIcon icon = decoration.value<QIcon>();
        if (!icon.isNull())
            return icon;
    }
    return m_image;
}

void LagImageATextCell::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const QIcon icon = imageFor(index);
    const QRectF frame(option.rect);
    QRectF textArea = frame;
    painter->save();
    if (!icon.isNull()) {
        const QRectF slice(frame.x(), frame.y(), sliceWidth, frame.height());
        if (m_drawsBackground)
            painter->fillRect(slice, m_backgroundColor);
        const QRectF square = imageRectForCellFrame(frame, frame.height(), true);
        icon.paint(painter, square.toRect(), Qt::AlignCenter, QIcon::Normal, QIcon::On);
        textArea.setLeft(slice.right());
    }
    const QString text = index.data(Qt::DisplayRole).toString();
    const QFontMetricsF metrics(option.font);
    const QRectF title = titleRectForBounds(textArea.adjusted(2, 0, -2, 0), frame, metrics.height());
    const QVariant foreground = index.data(Qt::ForegroundRole);
    painter->setPen(foreground.canConvert<QColor>() ? foreground.value<QColor>()
                                                    : option.palette.color(QPalette::Text));
    painter->setFont(option.font);
    painter->drawText(title, Qt::AlignLeft | Qt::AlignVCenter,
                      metrics.elidedText(text, Qt::ElideMiddle, title.width()));
    painter->restore();
}

QSize LagImageATextCell::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QSize base = QStyledItemDelegate::sizeHint(option, index);
    const double imageWidth = imageFor(index).isNull() ? 0 : imageSide;
    base.setWidth(int(std::ceil(cellWidth(base.width(), imageWidth))));
    // Rows leave the 20-point picture two points above and below.
    base.setHeight(std::max(base.height(), int(imageSide) + 4));
    return base;
}

void LagImageATextCell::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                             const QModelIndex &index) const
{
    const double imageWidth = imageFor(index).isNull() ? 0 : imageSide;
    QStyleOptionViewItem moved(option);
    moved.rect = textFrameForEditing(QRectF(option.rect), imageWidth).toRect();
    QStyledItemDelegate::updateEditorGeometry(editor, moved, index);
}
