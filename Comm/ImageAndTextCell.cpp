#include "ImageAndTextCell.h"

#include <QPainter>
#include <cmath>

ImageAndTextCell::ImageAndTextCell(QObject *parent) : QStyledItemDelegate(parent) {}

QoImage ImageAndTextCell::imageFor(const QModelIndex &index) const
{
    const QVariant decoration = index.data(Qt::DecorationRole);
    if (decoration.canConvert<QoImage>()) {
        const QoImage own = decoration.value<QoImage>();
        if (!own.isNull())
            return own;
    }
    return _image;
}

QRectF ImageAndTextCell::imageFrameForCellFrame(const QRectF &cellFrame) const
{
    if (_image.isNull())
        return {};
    const QSizeF size = _image.size();
    return QRectF(cellFrame.x() + 3, cellFrame.y() + std::ceil((cellFrame.height() - size.height()) * 0.5),
                  size.width(), size.height());
}

QRectF ImageAndTextCell::drawnImageRectForCellFrame(const QRectF &cellFrame) const
{
    return QRectF(cellFrame.x() + 3, cellFrame.y() - 17 + std::ceil((cellFrame.height() + 18) * 0.5), 18, 18);
}

QRectF ImageAndTextCell::textFrameForEditing(const QRectF &cellFrame) const
{
    const double cut = _image.isNull() ? 0 : _image.size().width() + 3;
    return cellFrame.adjusted(cut, 0, 0, 0);
}

void ImageAndTextCell::drawWithFrame(QPainter *painter, const QStyleOptionViewItem &option,
                                     const QModelIndex &index) const
{
    QStyleOptionViewItem textOption(option);
    const QoImage picture = imageFor(index);
    if (!picture.isNull()) {
        const QRectF frame(option.rect);
        const QRectF slice(frame.x(), frame.y(), 21, frame.height());
        if (_drawsBackground && _backgroundColor.isValid())
            painter->fillRect(slice, _backgroundColor);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        picture.draw(*painter, drawnImageRectForCellFrame(frame));
        painter->restore();
        textOption.rect = frame.adjusted(21, 0, 0, 0).toRect();
    }
    QStyledItemDelegate::paint(painter, textOption, index);
}

void ImageAndTextCell::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    // The picture is drawn by the cell itself, never as the item's icon.
    option->features &= ~QStyleOptionViewItem::HasDecoration;
    option->icon = QIcon();
    option->decorationSize = QSize();
}

void ImageAndTextCell::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    drawWithFrame(painter, option, index);
}

QSize ImageAndTextCell::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    const QoImage picture = imageFor(index);
    size.rwidth() += picture.isNull() ? 3 : int(std::ceil(picture.size().width())) + 3;
    return size;
}

void ImageAndTextCell::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                            const QModelIndex &index) const
{
    QStyleOptionViewItem editOption(option);
    const QoImage picture = imageFor(index);
    const double cut = picture.isNull() ? 0 : picture.size().width() + 3;
    editOption.rect = QRectF(option.rect).adjusted(cut, 0, 0, 0).toRect();
    QStyledItemDelegate::updateEditorGeometry(editor, editOption, index);
}
