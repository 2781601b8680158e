#pragma once
// The strip of the custom title bar, behind everything else in the window.
// Dragging it moves the window (not in full screen).
#include <QPoint>
#include <QWidget>

class VoTitlebarContainer : public QWidget {
    Q_OBJECT
public:
    explicit VoTitlebarContainer(QWidget *parent = nullptr);

    // Ends a drag that was following the pointer; true when there was one.
    // The bar view asks this on release: a release that ends a drag is the
    // drag's, not a click.
    bool endDragTracking();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool m_tracking = false;
    QPoint m_previous;
    QPoint m_origin;
};
