#pragma once
// The popover window's real content view: draws the rounded body with its
// arrow and holds the caller's view inside it.
#include <QColor>
#include <QPainterPath>
#include <QSizeF>
#include <QWidget>

class VoPopoverWindowFrame : public QWidget {
    Q_OBJECT
public:
    explicit VoPopoverWindowFrame(QWidget *parent = nullptr);

    QColor color() const { return m_color; }
    void setColor(const QColor &color);
    QColor borderColor() const { return m_borderColor; }
    void setBorderColor(const QColor &color);
    QColor topHighlightColor() const { return m_topHighlightColor; }
    void setTopHighlightColor(const QColor &color) { m_topHighlightColor = color; }
    double borderWidth() const { return m_borderWidth; }
    void setBorderWidth(double width);
    double cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(double radius);
    // width: the arrow's base; height: how far it stands out.
    QSizeF arrowSize() const { return m_arrowSize; }
    void setArrowSize(const QSizeF &size);
    // 0 none, 1 left, 2 right, 3 up, 4 down.
    unsigned arrowDirection() const { return m_arrowDirection; }
    void setArrowDirection(unsigned direction);

    // The outline for a rectangle, in bottom-left (Cocoa) coordinates.
    QPainterPath popoverBezierPathWithRect(const QRectF &rect) const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_color;
    QColor m_borderColor;
    QColor m_topHighlightColor;
    double m_borderWidth = 0;
    double m_cornerRadius = 12;
    QSizeF m_arrowSize{23, 12};
    unsigned m_arrowDirection = 1;
};
