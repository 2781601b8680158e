#pragma once
#include <QIcon>
#include <QRectF>
#include <QStyledItemDelegate>

// The file browser's "Name" cell: the item's icon in a 20 x 20 square at the
// left of a 23-point slice, then the name, centred vertically. The icon is
// the item's decoration, else the cell's own image. Rectangles are in the
// outline's (flipped, top-left) coordinates.
class LagImageATextCell : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit LagImageATextCell(QObject *parent = nullptr);

    // Shared by copies of the cell; the icon stays with whoever holds it.
    QIcon image() const { return m_image; }
    void setImage(const QIcon &image) { m_image = image; }
    bool drawsBackground() const { return m_drawsBackground; }
    void setDrawsBackground(bool draws) { m_drawsBackground = draws; }
    QColor backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const QColor &color) { m_backgroundColor = color; }

    static constexpr double sliceWidth = 23;
    static constexpr double imageSide = 20;

    // The square the image is drawn into for a cell frame; `cellHeight` is
    // the cell's height, `flipped` whether the view's origin is at the top.
    static QRectF imageRectForCellFrame(const QRectF &cellFrame, double cellHeight, bool flipped = true);
    // The text's rectangle: the title rectangle moved so the text of
    // `textHeight` sits centred (2 points higher) in the cell.
    static QRectF titleRectForBounds(const QRectF &titleRect, const QRectF &cellFrame, double textHeight);
    // The frame left for editing and selecting the text.
    static QRectF textFrameForEditing(const QRectF &cellFrame, double imageWidth);
    // The cell's natural width for a base width and image width (0: none).
    static double cellWidth(double baseWidth, double imageWidth);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;

private:
    QIcon imageFor(const QModelIndex &index) const;

    QIcon m_image;
    bool m_drawsBackground = false;
    QColor m_backgroundColor;
};
