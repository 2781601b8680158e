#pragma once
#include <QColor>
#include <QStyledItemDelegate>

#include "QoImage.h"

// A list cell with a small picture (18 x 18, in a 21-point slice at the left)
// before its text. The picture is the item's decoration when that is a
// QoImage, else the cell's own image. Without a picture it is a plain text
// cell that asks for 3 points more width.
class ImageAndTextCell : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit ImageAndTextCell(QObject *parent = nullptr);

    QoImage image() const { return _image; }
    void setImage(const QoImage &image) { _image = image; }
    // The slice left of the picture is filled with the background colour
    // when the cell draws its background.
    bool drawsBackground() const { return _drawsBackground; }
    void setDrawsBackground(bool draws) { _drawsBackground = draws; }
    QColor backgroundColor() const { return _backgroundColor; }
    void setBackgroundColor(const QColor &color) { _backgroundColor = color; }

    // Where an image of its own size sits in a cell (zero without one).
    QRectF imageFrameForCellFrame(const QRectF &cellFrame) const;
    // The 18 x 18 square the picture is drawn into (the view is flipped: the
    // origin is at the top).
    QRectF drawnImageRectForCellFrame(const QRectF &cellFrame) const;
    // The frame left for the text when it is edited or selected.
    QRectF textFrameForEditing(const QRectF &cellFrame) const;

    void drawWithFrame(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    QoImage imageFor(const QModelIndex &index) const;

    QoImage _image;
    bool _drawsBackground = false;
    QColor _backgroundColor;
};
