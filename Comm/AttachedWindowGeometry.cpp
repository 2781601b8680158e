#include "AttachedWindowGeometry.h"

#include "CocoaPath.h"

#include <cmath>

namespace {

bool isOneOf(int side, std::initializer_list<int> sides)
{
    for (int s : sides) {
        if (s == side)
            return true;
    }
    return false;
}

enum class Edge { Top, Right, Bottom, Left };

// Draws the arrow from the current point along `edge` in the direction of travel.
void appendArrow(QPainterPath &path, Edge edge, const AttachedWindowMetrics &m)
{
    if (!m.hasArrow)
        return;
    const float a = float(m.arrowHeight * m.scale);
    const float bb = float(m.arrowBaseWidth * m.scale);
    const QPointF c = path.currentPosition();
    switch (edge) {
    case Edge::Top:
        path.lineTo(c.x() + bb * 0.5, c.y() + a);
        path.lineTo(c.x() + bb, c.y());
        break;
    case Edge::Right:
        path.lineTo(c.x() + a, c.y() - bb * 0.5);
        path.lineTo(c.x(), c.y() - bb);
        break;
    case Edge::Bottom:
        path.lineTo(c.x() - bb * 0.5, c.y() - a);
        path.lineTo(c.x() - bb, c.y());
        break;
    case Edge::Left:
        path.lineTo(c.x() - a, c.y() + bb * 0.5);
        path.lineTo(c.x(), c.y() + bb);
        break;
    }
}

} // namespace

float AttachedWindowGeometry::arrowInset(const AttachedWindowMetrics &m)
{
    const double corner = m.drawsRoundCornerBesideArrow ? m.cornerRadius : 0.0;
    return float((m.arrowBaseWidth * 0.5 + corner) * m.scale);
}

AttachedWindowGeometry::Layout AttachedWindowGeometry::layout(const QSizeF &viewSize, const QPointF &p, int side,
                                                              float distance, const AttachedWindowMetrics &m)
{
    const double s = m.scale;
    const double margin = m.viewMargin * s;
    double w = viewSize.width() + 2 * margin;
    double h = viewSize.height() + 2 * margin;
    QRectF view(margin, margin, viewSize.width(), viewSize.height());

    const float room = float(m.arrowHeight * s);
    if (isOneOf(side, {0, 4, 5})) {
        w += room;
    } else if (isOneOf(side, {2, 6, 7})) {
        w += room;
        view.moveLeft(view.x() + room);
    } else if (isOneOf(side, {1, 10, 11})) {
        h += room;
    } else if (isOneOf(side, {3, 8, 9})) {
        h += room;
        view.moveTop(view.y() + room);
    }

    const double i = arrowInset(m);
    const double hw = float(w * 0.5);
    const double hh = float(h * 0.5);
    const double d = distance;
    QPointF origin = p;
    switch (side) {
    case 0:
        origin = {p.x() - w - d, p.y() - hh};
        break;
    case 1:
        origin = {p.x() - hw, p.y() - h - d};
        break;
    case 2:
        origin = {p.x() + d, p.y() - hh};
        break;
    case 3:
        origin = {p.x() - hw, p.y() + d};
        break;
    case 4:
        origin = {p.x() - w - d, p.y() - i};
        break;
    case 5:
        origin = {p.x() - w - d, p.y() - (h - i)};
        break;
    case 6:
        origin = {p.x() + d, p.y() - i};
        break;
    case 7:
        origin = {p.x() + d, p.y() - (h - i)};
        break;
    case 8:
        origin = {p.x() - (w - i), p.y() + d};
        break;
    case 9:
        origin = {p.x() - i, p.y() + d};
        break;
    case 10:
        origin = {p.x() - (w - i), p.y() - h - d};
        break;
    case 11:
        origin = {p.x() - i, p.y() - h - d};
        break;
    default:
        break;
    }
    return {QRectF(origin, QSizeF(w, h)), view};
}

int AttachedWindowGeometry::bestSide(const QSizeF &viewSize, const QPointF &p, float distance,
                                     const AttachedWindowMetrics &m, const QRectF &v, const QRectF &r)
{
    const double s = m.scale;
    const double w0 = viewSize.width() + 2 * m.viewMargin * s;
    const double h0 = viewSize.height() + 2 * m.viewMargin * s;
    const double d = float(distance + m.arrowHeight * s);
    // QRectF's right() and bottom() are x + width and y + height, which in
    // bottom-left coordinates are maxX and maxY.
    int side;
    if (p.y() - h0 - d >= v.top())
        side = 1;
    else if (p.x() + w0 + d < v.right())
        side = 2;
    else if (p.x() - w0 - d >= v.left())
        side = 0;
    else if (p.y() + h0 + d < v.bottom())
        side = 3;
    else
        side = 1;

    const double i = arrowInset(m);
    const double halfW = float(w0 * 0.5);
    const double halfH = float(h0 * 0.5);
    if (side == 0 || side == 2) {
        if (r.top() > p.y() - halfH) {
            if (v.bottom() > p.y() + h0 - i)
                side = side == 0 ? 4 : 6;
        } else if (p.y() + halfH >= r.bottom()) {
            if (p.y() - h0 + i >= v.top())
                side = side == 0 ? 5 : 7;
        }
    } else {
        if (r.left() > p.x() - halfW) {
            if (v.right() > p.x() + w0 - i)
                side = side == 1 ? 11 : 9;
        } else if (p.x() + halfW >= r.right()) {
            if (p.x() - w0 + i >= v.left())
                side = side == 1 ? 10 : 8;
        }
    }
    return side;
}

QPainterPath AttachedWindowGeometry::backgroundPath(const QRectF &viewFrame, int side, const AttachedWindowMetrics &m)
{
    const double s = m.scale;
    const double margin = m.viewMargin * s;
    const QRectF b = viewFrame.adjusted(-margin, -margin, margin, margin);
    const double rr = float(m.cornerRadius * s);
    const double bb = float(m.arrowBaseWidth * s);
    const double hb = float(bb * 0.5);

    double left, right, bottom, top;
    if (m.outlineOnWholeBody) {
        left = float(std::ceil(b.left() * s));
        right = float(std::floor(b.right() * s));
        bottom = float(std::ceil(b.top() * s));
        top = float(std::floor(b.bottom() * s));
    } else {
        left = float(std::ceil(b.left() * s + 0.5));
        right = float(std::floor(b.right() * s - 0.5));
        bottom = float(std::ceil(b.top() * s + 0.5));
        top = float(std::floor(b.bottom() * s - 0.5));
    }
    const double mx = float((b.left() + b.width() * 0.5) * s);
    const double my = float((b.top() + b.height() * 0.5) * s);

    const bool rounded = rr > 0;
    const bool beside = m.drawsRoundCornerBesideArrow;
    const bool roundTL = rounded && (beside || !isOneOf(side, {7, 11}));
    const bool roundTR = rounded && (beside || !isOneOf(side, {5, 10}));
    const bool roundBR = rounded && (beside || !isOneOf(side, {4, 8}));
    const bool roundBL = rounded && (beside || !isOneOf(side, {6, 9}));

    QPainterPath path;
    // Top edge, travelling right.
    const double topStart = roundTL ? left + rr : left;
    const double topEnd = roundTR ? right - rr : right;
    path.moveTo(topStart, top);
    if (side == 11) {
        appendArrow(path, Edge::Top, m);
    } else if (side == 10) {
        path.lineTo(topEnd - bb, top);
        appendArrow(path, Edge::Top, m);
    } else if (side == 1) {
        path.lineTo(mx - hb, top);
        appendArrow(path, Edge::Top, m);
    }
    path.lineTo(topEnd, top);
    if (roundTR)
        CocoaPath::appendArcFromPoint(path, QPointF(right, top), QPointF(right, bottom), rr);

    // Right edge, travelling down.
    const double rightStart = roundTR ? top - rr : top;
    const double rightEnd = roundBR ? bottom + rr : bottom;
    path.lineTo(right, rightStart);
    if (side == 5) {
        appendArrow(path, Edge::Right, m);
    } else if (side == 4) {
        path.lineTo(right, rightEnd + bb);
        appendArrow(path, Edge::Right, m);
    } else if (side == 0) {
        path.lineTo(right, my + hb);
        appendArrow(path, Edge::Right, m);
    }
    path.lineTo(right, rightEnd);
    if (roundBR)
        CocoaPath::appendArcFromPoint(path, QPointF(right, bottom), QPointF(left, bottom), rr);

    // Bottom edge, travelling left.
    const double bottomStart = roundBR ? right - rr : right;
    const double bottomEnd = roundBL ? left + rr : left;
    path.lineTo(bottomStart, bottom);
    if (side == 8) {
        appendArrow(path, Edge::Bottom, m);
    } else if (side == 9) {
        path.lineTo(bottomEnd + bb, bottom);
        appendArrow(path, Edge::Bottom, m);
    } else if (side == 3) {
        path.lineTo(mx + hb, bottom);
        appendArrow(path, Edge::Bottom, m);
    }
    path.lineTo(bottomEnd, bottom);
    if (roundBL)
        CocoaPath::appendArcFromPoint(path, QPointF(left, bottom), QPointF(left, top), rr);

    // Left edge, travelling up.
    const double leftStart = roundBL ? bottom + rr : bottom;
    const double leftEnd = roundTL ? top - rr : top;
    path.lineTo(left, leftStart);
    if (side == 6) {
        appendArrow(path, Edge::Left, m);
    } else if (side == 7) {
        path.lineTo(left, leftEnd - bb);
        appendArrow(path, Edge::Left, m);
    } else if (side == 2) {
        path.lineTo(left, my - hb);
        appendArrow(path, Edge::Left, m);
    }
    path.lineTo(left, leftEnd);
    if (roundTL)
        CocoaPath::appendArcFromPoint(path, QPointF(left, top), QPointF(right, top), rr);
    path.closeSubpath();
    return path;
}
