#pragma once
// The arithmetic of the attached bubble window, kept apart from the window so
// it can be checked number by number: window size and origin for a side, the
// automatic side, the arrow inset and the bubble outline. Everything is in
// bottom-left (Cocoa) coordinates: screen coordinates for frames and points,
// window coordinates for view frames and outlines.
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

// The numbers of one window that the geometry reads.
struct AttachedWindowMetrics {
    float viewMargin = 0;
    float arrowBaseWidth = 0;
    float arrowHeight = 0;
    float cornerRadius = 0;
    bool hasArrow = false;
    bool drawsRoundCornerBesideArrow = false;
    // The panel variant lays its outline on the body's edges; the others
    // half a point inside them.
    bool outlineOnWholeBody = false;
    // The screen's user-space scale factor.
    double scale = 1.0;
};

class AttachedWindowGeometry {
public:
    // Side codes: 0–11 as in the side table, 12 = choose automatically.
    enum { AutomaticSide = 12 };

    struct Layout {
        QRectF frame;     // window frame, screen coordinates
        QRectF viewFrame; // hosted view inside the window
    };

    static float arrowInset(const AttachedWindowMetrics &m);
    // `point` is the attachment point in screen coordinates.
    static Layout layout(const QSizeF &viewSize, const QPointF &point, int side, float distance,
                         const AttachedWindowMetrics &m);
    // `visibleFrame` is the screen's visible frame (empty without a screen);
    // `parentFrame` the parent window's frame, or the visible frame when there
    // is no parent.
    static int bestSide(const QSizeF &viewSize, const QPointF &point, float distance, const AttachedWindowMetrics &m,
                        const QRectF &visibleFrame, const QRectF &parentFrame);
    // The outline for a view frame (window coordinates) and a side.
    static QPainterPath backgroundPath(const QRectF &viewFrame, int side, const AttachedWindowMetrics &m);
};
