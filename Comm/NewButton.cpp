#include "NewButton.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <cmath>

#include "Clock.h"
#include "NewButtonDelegate.h"

namespace {
// The guard mark shared by every cell: how many clicks are waiting for their
// reset (only ever 0 or 1, as a second click is refused while it is set).
int clickMark = 0;

// Points on the right or bottom edge lie outside, as in the original's
// rectangle test.
bool inside(const QRectF &rect, const QPointF &point)
{
    return point.x() >= rect.left() && point.x() < rect.right() && point.y() >= rect.top() && point.y() < rect.bottom();
}
} // namespace

QRectF NewButton::imageRectForBounds(const QRectF &bounds) const
{
    if (_label.isNull())
        return {};
    const double dx = _iconImageCell.isNull() ? 10 : 35;
    const double dy = std::ceil((bounds.height() - 22) * 0.5);
    return QRectF(bounds.topLeft() + QPointF(dx, dy), _imageSize);
}

QRectF NewButton::iconImageRectForBounds(const QRectF &bounds) const
{
    if (_iconImageCell.isNull())
        return {};
    return QRectF(bounds.topLeft() + QPointF(17, std::ceil((bounds.height() - 18) * 0.5)), _iconImageSzie);
}

void NewButton::drawWithFrame(QPainter &painter, const QRectF &frame, const QWidget *inView) const
{
    _iconImageCell.draw(painter, iconImageRectForBounds(frame));
    if (!_label.isNull()) {
        painter.save();
        const QPalette palette = inView ? inView->palette() : QApplication::palette();
        painter.setPen(palette.color(QPalette::Text));
        if (inView)
            painter.setFont(inView->font());
        painter.drawText(imageRectForBounds(frame), Qt::AlignLeft | Qt::AlignVCenter, _label);
        painter.restore();
    }
}

int NewButton::hitTestForEvent(const QMouseEvent &event, const QRectF &inRect, const QWidget *ofView)
{
    QPointF point = event.scenePosition();
    if (ofView && ofView->window() != ofView)
        point = ofView->mapFrom(ofView->window(), point);
    return hitTestAtPoint(point, inRect);
}

int NewButton::hitTestAtPoint(const QPointF &point, const QRectF &inRect)
{
    const QRectF hotSpot(inRect.topLeft(), QSizeF(15, 30));
    // The plain cell's answer for the hot spot.
    const int plain = inside(hotSpot, point) ? HitContentArea : HitNone;
    if (plain == HitNone || clickMark != 0)
        return HitNone;
    if (_delegate)
        _delegate->clickButtonAction(this);
    ++clickMark;
    QTimer::singleShot(Platform::Clock::realMs(0.2), qApp, [] { changeVlaue(); });
    return plain | HitTrackableArea;
}

void NewButton::changeVlaue() { clickMark = 0; }

bool NewButton::clickGuardActive() { return clickMark != 0; }
