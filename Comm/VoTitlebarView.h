#pragma once
// The drawing of the custom title bar: a flat dark strip with rounded top
// corners, and the window title when the window asks for it. A double click
// miniaturises the window when the user default says so.
#include <QColor>
#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QWidget>
#include <optional>

class ZrImageWindow;

class VoTitlebarView : public QWidget {
    Q_OBJECT
public:
    struct TitleShadow {
        QColor color;
        QPointF offset; // bottom-left coordinates: (0, -2) casts downwards
        double blurRadius = 0;
    };
    struct TitleAttributes {
        QFont font;
        QColor color;
        TitleShadow shadow;
    };

    explicit VoTitlebarView(QWidget *parent = nullptr);

    // The title's rectangle (bottom-left coordinates of this view) and its
    // attributes for `window`; either out-parameter may be null.
    void getTitleFrame(QRectF *frame, TitleAttributes *attributes, const ZrImageWindow *window) const;
    // Nothing draws noise on this bar.
    void drawNoiseWithOpacity(double opacity) { (void)opacity; }
    // The outline of the bar for a rectangle (bottom-left coordinates).
    static QPainterPath outline(const QRectF &rect);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void countClick(const QMouseEvent *event);

    int m_clickCount = 0;
    qint64 m_lastPressMs = 0;
    QPoint m_lastPressPos;
};
