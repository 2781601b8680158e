#include "RFOverlayScroller.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>
#include <algorithm>
#include <cmath>

#include "Clock.h"

namespace {
constexpr double MinimumKnobLength = 20;
}

RFOverlayScroller::RFOverlayScroller(QWidget *parent) : QScrollBar(Qt::Vertical, parent)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    _fadeOutTimer.setSingleShot(true);
    connect(&_fadeOutTimer, &QTimer::timeout, this, &RFOverlayScroller::fadeOut);
}

bool RFOverlayScroller::isCompatibleWithOverlayScrollers(const QMetaObject *scrollerClass)
{
    return scrollerClass == &RFOverlayScroller::staticMetaObject;
}

void RFOverlayScroller::setFloatValue(double fraction)
{
    fraction = std::clamp(fraction, 0.0, 1.0);
    setValue(minimum() + int(std::lround(fraction * (maximum() - minimum()))));
}

double RFOverlayScroller::floatValue() const
{
    if (maximum() <= minimum())
        return 0;
    return double(value() - minimum()) / double(maximum() - minimum());
}

QRectF RFOverlayScroller::knobRect() const
{
    const double span = maximum() - minimum();
    if (span <= 0 || height() <= 0)
        return {};
    const double track = height();
    const double length =
        std::clamp(track * pageStep() / (span + pageStep()), std::min(MinimumKnobLength, track), track);
    const double top = (track - length) * (value() - minimum()) / span;
    return QRectF(0, top, width(), length);
}

QRectF RFOverlayScroller::drawnKnobRect() const
{
    const QRectF knob = knobRect();
    if (knob.isEmpty())
        return {};
    return QRectF(knob.x() + 4, knob.y(), 8, knob.height());
}

void RFOverlayScroller::drawKnob(QPainter &painter) const
{
    const QRectF knob = drawnKnobRect();
    if (knob.isEmpty())
        return;
    QPainterPath path;
    path.addRoundedRect(knob, 4, 4);
    painter.fillPath(path, QColor(75, 75, 75));
}

void RFOverlayScroller::drawKnobSlotInRect(QPainter &, const QRectF &, bool) const {}

void RFOverlayScroller::paintEvent(QPaintEvent *)
{
    if (_alpha <= 0)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(_alpha);
    drawKnobSlotInRect(painter, rect(), false);
    drawKnob(painter);
}

void RFOverlayScroller::sliderChange(SliderChange change)
{
    QScrollBar::sliderChange(change);
    if (change != SliderValueChange)
        return;
    // Scrolling shows the scroller and restarts the wait before it fades.
    animateAlpha(1.0, 0.25);
    _fadeOutTimer.start(Platform::Clock::realMs(1.5));
}

void RFOverlayScroller::enterEvent(QEnterEvent *event)
{
    QScrollBar::enterEvent(event);
    animateAlpha(1.0, 0.5);
    _fadeOutTimer.stop();
}

void RFOverlayScroller::leaveEvent(QEvent *event)
{
    QScrollBar::leaveEvent(event);
    fadeOut();
}

void RFOverlayScroller::fadeOut() { animateAlpha(fadedAlpha, 0.5); }

void RFOverlayScroller::animateAlpha(double to, double seconds)
{
    if (_alphaAnimation) {
        _alphaAnimation->stop();
        delete _alphaAnimation;
    }
    if (qFuzzyCompare(_alpha + 1, to + 1))
        return;
    auto *animation = new QVariantAnimation(this);
    animation->setStartValue(_alpha);
    animation->setEndValue(to);
    animation->setDuration(Platform::Clock::realMs(seconds));
    connect(animation, &QVariantAnimation::valueChanged, this, [this](const QVariant &v) { setAlpha(v.toDouble()); });
    connect(animation, &QVariantAnimation::finished, this, [this, to] { setAlpha(to); });
    _alphaAnimation = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void RFOverlayScroller::setAlpha(double alpha)
{
    _alpha = alpha;
    update();
}

int RFOverlayScroller::valueForKnobTop(double knobTop) const
{
    const QRectF knob = knobRect();
    const double free = height() - knob.height();
    if (free <= 0)
        return minimum();
    const double fraction = std::clamp(knobTop / free, 0.0, 1.0);
    return minimum() + int(std::lround(fraction * (maximum() - minimum())));
}

void RFOverlayScroller::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const QRectF knob = knobRect();
    if (knob.isEmpty())
        return;
    const double y = event->position().y();
    if (knob.contains(event->position())) {
        _dragging = true;
        _dragOffset = y - knob.top();
        setSliderDown(true);
    } else {
        // A click in the empty part pages toward the pointer.
        triggerAction(y < knob.top() ? SliderPageStepSub : SliderPageStepAdd);
    }
    event->accept();
}

void RFOverlayScroller::mouseMoveEvent(QMouseEvent *event)
{
    // Any movement over the scroller shows it at once.
    if (_alphaAnimation)
        _alphaAnimation->stop();
    setAlpha(1.0);
    if (_dragging)
        setSliderPosition(valueForKnobTop(event->position().y() - _dragOffset));
    event->accept();
}

void RFOverlayScroller::mouseReleaseEvent(QMouseEvent *event)
{
    if (_dragging) {
        _dragging = false;
        setSliderDown(false);
    }
    event->accept();
}
